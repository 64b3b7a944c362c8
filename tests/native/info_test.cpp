#include <atomic>
#include <chrono>
#include <thread>

#include "info/about_box.h"
#include "info/system_menu.h"
#include "info/update_check.h"

#include "app_fixture.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;

// --- update check ---

class UpdateCheckTest : public AppTest {
 protected:
  // The page as the server sends it: UTF-8.
  std::string Utf8(std::u16string_view text) { return machine.kernel().WideToMultiByte(text, platform::kCodePageUtf8); }

  app::UpdateInfo Check() {
    machine.ClearCalls();
    info::UpdateCheck(Context());
    return Context().updateInfo();
  }

  int Reads() {
    int reads = 0;
    for (const auto& call : machine.Calls())
      if (call.rfind("InternetReadFile(", 0) == 0) ++reads;
    return reads;
  }
};

TEST_F(UpdateCheckTest, StartUpChecksOnceAndStoresTheTrimmedFields) {
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"<p>最新版本:  V3.70 </p><p>发布时间:\u3000 2026-11-30<br>"
                                             u"文件大小: 1.2 MB<br>下载地址: https://corvane.example/pelmora/x.zip <br>"));
  StartApp();
  const app::UpdateInfo info = Context().updateInfo();
  EXPECT_EQ(info.moduleVersion, "V3.63");
  EXPECT_EQ(info.latestVersion, "V3.70");
  EXPECT_EQ(info.releaseTime, "2026-11-30");  // full-width space trimmed too
  EXPECT_EQ(info.fileSize, "1.2 MB");
  EXPECT_EQ(info.downloadAddress, "https://corvane.example/pelmora/x.zip");
  EXPECT_EQ(info.updateAvailable, 1);
  Strings calls = machine.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), std::string("InternetCheckConnectionA(") + info::kProbeUrl + ", 1) -> 1"),
            calls.end());
  // The agent text is the page's own address.
  EXPECT_NE(std::find(calls.begin(), calls.end(),
                      std::string("InternetOpenA(") + info::kUpdatePageUrl + ", 1) -> 1"),
            calls.end());
  // Nothing the page names is opened, shown or fetched.
  EXPECT_EQ(windows.shellRequests(), Strings{});
  EXPECT_EQ(windows.openedUrls(), Strings{});
  EXPECT_EQ(windows.messageBoxes(), Strings{});
  int opens = 0;
  for (const auto& call : calls)
    if (call.rfind("InternetOpenUrlA(", 0) == 0) ++opens;
  EXPECT_EQ(opens, 1);
}

TEST_F(UpdateCheckTest, VersionsCompareAsTextIgnoringCase) {
  StartApp();
  struct Case {
    const char16_t* version;
    int32_t expected;
  };
  int n = 0;
  for (const Case& c : {Case{u"v3.63", 0}, Case{u"V3.63", 0}, Case{u"V3.7", 1}, Case{u"V10.0", 0}, Case{u"V3.62", 0},
                        Case{u"V3.63a", 1}}) {
    app::UpdateInfo reset = Context().updateInfo();
    reset.updateAvailable = 0;
    Context().setUpdateInfo(reset);
    machine.SetPage(info::kUpdatePageUrl, Utf8(std::u16string(u"最新版本:") + c.version + u"<"));
    EXPECT_EQ(Check().updateAvailable, c.expected) << "case " << n++;
  }
  // Once set, the flag stays, whatever a later check finds.
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"最新版本:V4.0<"));
  EXPECT_EQ(Check().updateAvailable, 1);
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"最新版本:V1.0<"));
  EXPECT_EQ(Check().updateAvailable, 1);
}

TEST_F(UpdateCheckTest, MissingEndMarkersMissingMarkersAndLineBreaks) {
  StartApp();
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"发布时间: 2026\r\n<文件大小: 3 KB 最新版本: V9.9"));
  const app::UpdateInfo info = Check();
  EXPECT_EQ(info.releaseTime, "2026\r\n");  // only spaces are trimmed
  EXPECT_EQ(info.fileSize, "");             // no "<" after it
  EXPECT_EQ(info.latestVersion, "");
  EXPECT_EQ(info.downloadAddress, "");      // marker missing
  EXPECT_EQ(info.updateAvailable, 0);
}

TEST_F(UpdateCheckTest, APageInGbkIsStillDecodedAsUtf8AndYieldsNothing) {
  StartApp();
  // The test's literals are GBK bytes.
  machine.SetPage(info::kUpdatePageUrl, "最新版本: V3.70<发布时间: 2026<");
  const app::UpdateInfo info = Check();
  EXPECT_EQ(info.latestVersion, "");
  EXPECT_EQ(info.releaseTime, "");
  EXPECT_EQ(info.updateAvailable, 0);
  EXPECT_EQ(info.pageText.find("最新版本"), std::string::npos);
}

TEST_F(UpdateCheckTest, BrokenUtf8BeforeTheMarkersLeavesTheFieldsWhole) {
  StartApp();
  // A cut three-byte sequence, a stray continuation byte and a byte UTF-8 never uses.
  machine.SetPage(info::kUpdatePageUrl, std::string("\xE7\xBD" "\x80\xFF") + Utf8(u"最新版本: V4.1<文件大小: 2 MB<"));
  const app::UpdateInfo info = Check();
  EXPECT_EQ(info.latestVersion, "V4.1");
  EXPECT_EQ(info.fileSize, "2 MB");
  EXPECT_EQ(info.updateAvailable, 1);
}

TEST_F(UpdateCheckTest, ALongPageIsReadInPiecesUntilAReadReturnsNothing) {
  StartApp();
  std::string page(2500, 'x');
  page += Utf8(u"最新版本: V3.8<");
  // The server hands out at most 300 bytes per read: short reads do not end the page.
  machine.SetPage(info::kUpdatePageUrl, page, 300);
  const app::UpdateInfo info = Check();
  EXPECT_EQ(info.latestVersion, "V3.8");
  EXPECT_EQ(info.pageText.size(), 2500u + 9 + 6);
  const int pieces = static_cast<int>((page.size() + 299) / 300);
  EXPECT_EQ(Reads(), pieces + 1);
  for (const auto& call : machine.Calls())
    if (call.rfind("InternetReadFile(", 0) == 0) {
      EXPECT_EQ(call.rfind("InternetReadFile(1000) -> ", 0), 0u) << call;
    }
}

TEST_F(UpdateCheckTest, OfflineNothingIsFetched) {
  machine.SetOnline(false);
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"最新版本:V9<"));
  StartApp();
  EXPECT_EQ(Context().updateInfo().latestVersion, "");
  EXPECT_EQ(Context().updateInfo().updateAvailable, 0);
  for (const auto& call : machine.Calls()) EXPECT_NE(call.rfind("InternetOpen", 0), 0u) << call;
  machine.SetOnline(true);
  machine.FailNext("InternetCheckConnectionA", 12029);
  EXPECT_EQ(Check().latestVersion, "");
}

TEST_F(UpdateCheckTest, AFailedOpenOrReadGivesEmptyFields) {
  StartApp();
  machine.SetPage(info::kUpdatePageUrl, Utf8(u"最新版本:V9<"));
  machine.FailNext("InternetOpenUrlA", 12007);
  EXPECT_EQ(Check().pageText, "");
  machine.FailNext("InternetReadFile", 12002);
  EXPECT_EQ(Check().latestVersion, "");
  machine.SetPage(info::kUpdatePageUrl, "");
  EXPECT_EQ(Check().pageText, "");
}

TEST_F(UpdateCheckTest, DownloadStopsAtTheLimitAndANulCutsItsRead) {
  // A page far larger than any update page: reading stops at the limit.
  machine.SetPage("https://corvane.example/big", std::string(info::kMaxPageBytes + 5000, 'a'));
  EXPECT_EQ(info::DownloadPageText(machine.internet(), "https://corvane.example/big").size(), info::kMaxPageBytes);
  // NULs count against the limit too, though they add nothing.
  machine.SetPage("https://corvane.example/nul", std::string(3 * info::kMaxPageBytes, '\0'));
  machine.ClearCalls();
  EXPECT_EQ(info::DownloadPageText(machine.internet(), "https://corvane.example/nul"), "");
  EXPECT_EQ(Reads(), static_cast<int>((info::kMaxPageBytes + 999) / 1000));
  // A NUL ends its own read's bytes only.
  machine.SetPage("https://corvane.example/cut", std::string("abc\0def", 7) + "ghi", 7);
  EXPECT_EQ(info::DownloadPageText(machine.internet(), "https://corvane.example/cut"), "abcghi");
}

TEST(UpdateFields, TextBetweenTrimSpacesAndConversion) {
  EXPECT_EQ(info::TextBetween("a最新版本: 1<b", "最新版本:", "<"), " 1");
  EXPECT_EQ(info::TextBetween("no marker<", "最新版本:", "<"), "");
  EXPECT_EQ(info::TextBetween("最新版本:", "最新版本:", "<"), "");
  EXPECT_EQ(info::TextBetween("x:<", ":", "<"), "");
  // A marker is never found on the trail byte of a character: "侄" is B8 C0, "坷" is BF C0.
  EXPECT_EQ(info::TextBetween("\xB8\xC0\xBF\xA1v<", "\xC0\xBF", "<"), "");
  EXPECT_EQ(info::TextBetween("\xBF\xA1\xC0\xBFv<", "\xC0\xBF", "<"), "v");
  EXPECT_EQ(info::TrimSpaces(" \xA1\xA1 v \t\xA1\xA1 "), "v \t");
  EXPECT_EQ(info::TrimSpaces("\r\nv\r\n"), "\r\nv\r\n");
  sim::Machine machine;
  EXPECT_EQ(info::Utf8ToGbk(machine.kernel(), ""), "");
  EXPECT_EQ(info::Utf8ToGbk(machine.kernel(), "\xE7\xBD\x91\xE5\x8D\xA1 ok"), "网卡 ok");
  EXPECT_EQ(info::CompareVersionTexts("V3.63", ""), 1);
  EXPECT_EQ(info::CompareVersionTexts("abc", "ABC"), 0);
  EXPECT_EQ(info::CompareVersionTexts("V3.63", "V3.7"), -1);
}

// --- about box, system menu and filter ---

class SystemMenuTest : public AppTest {
 protected:
  void SetUp() override {
    machine.AddAdapter(Ethernet(4, u"本地连接", {"192.168.1.10"}));
    StartApp();
  }
  std::vector<headless::HeadlessWindowSystem::MessageBoxRecord> Boxes() { return windows.messageBoxRecords(); }
};

TEST_F(SystemMenuTest, TheFourItemsFollowTheCloseItemAndTheFilterIsInstalled) {
  const auto items = Main().systemMenuItems();
  ASSERT_EQ(items.size(), 10u);  // seven standard ones less the separator above "close", four more
  EXPECT_EQ(items[4].id, 0xF030);
  EXPECT_EQ(items[5].id, 0xF060);
  EXPECT_EQ(items[6].id, 1);
  EXPECT_EQ(items[6].caption, "");
  EXPECT_EQ(items[7].id, 2);
  EXPECT_EQ(items[7].caption, "作者：Corvane项目组(&E)");
  EXPECT_TRUE(items[7].checked);
  EXPECT_EQ(items[8].id, 3);
  EXPECT_EQ(items[8].caption, "");
  EXPECT_EQ(items[9].id, 4);
  EXPECT_EQ(items[9].caption, "使用协议(&F)");
  EXPECT_TRUE(items[9].checked);
  EXPECT_TRUE(Main().hasMessageFilter());
}

TEST_F(SystemMenuTest, TheAgreementShowsItsSixLinesEveryTimeOverTheForegroundWindow) {
  ASSERT_TRUE(Main().ChooseSystemCommand(info::kAgreementItemId));
  ASSERT_TRUE(Main().ChooseSystemCommand(info::kAgreementItemId));
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.owner, nullptr);  // the foreground window owns it
    EXPECT_EQ(box.caption, "使用协议");
    EXPECT_EQ(box.flags, 0x40u);
    EXPECT_EQ(text::Split(box.text, "\r\n"),
              (Strings{std::string(17, ' ') + "Pelmora模块使用协议", "",
                       "一、本模块没有捆绑任何第三方插件,也没有封装其他模块,可以放心使用.",
                       "二、用本模块编写的软件因自身缺陷或错误造成的损失,由使用者自行承担.",
                       "三、使用本模块编写恶意插件、病毒、木马等程序的,其法律责任由编写者", "承担,与本模块无关."}));
    EXPECT_NE(box.text.substr(box.text.size() - 2), "\r\n");
  }
}

TEST_F(SystemMenuTest, TheAuthorItemOpensTheDecodedContactPageAndLogsOnlyAFailure) {
  const size_t before = Log().size();
  ASSERT_TRUE(Main().ChooseSystemCommand(info::kAuthorItemId));
  EXPECT_EQ(windows.shellRequests(),
            (Strings{"Open|https://corvane.example/contact?from=pelmora&version=3.63|||5"}));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(LogAfter(before), Strings{});
  windows.SetOpenResult(static_cast<int32_t>(0x80004002));  // E_NOINTERFACE
  ASSERT_TRUE(Main().ChooseSystemCommand(info::kAuthorItemId));
  EXPECT_EQ(windows.shellRequests().size(), 2u);
  EXPECT_EQ(LogAfter(before), Strings{"打开网址失败,返回代码-2147467262."});
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SystemMenuTest, SystemCommandsAreMatchedExactly) {
  // 0x12 and 0x14 share their low bits with nothing of ours once masked, but they are other values.
  Main().SendSystemCommand(0x12, 0);
  Main().SendSystemCommand(0x14, 0);
  Main().SendSystemCommand(0xF004, 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(windows.shellRequests(), Strings{});
  EXPECT_FALSE(Main().closed());
}

TEST_F(SystemMenuTest, CommandThirtyThousandOneEndsTheProgramWithExitCodeZero) {
  ASSERT_TRUE(Main().SendCommand(info::kEndProgramCommand));
  ASSERT_TRUE(machine.TerminatedWith().has_value());
  EXPECT_EQ(*machine.TerminatedWith(), 0u);
}

TEST_F(SystemMenuTest, CommandCloseClosesTheWindowAsTheCloseItemDoes) {
  ASSERT_TRUE(Main().SendCommand(10001));
  ASSERT_TRUE(Main().SendCommand(platform::kScMove));
  EXPECT_FALSE(Main().closed());
  EXPECT_FALSE(machine.TerminatedWith().has_value());
  ASSERT_TRUE(Main().SendCommand(platform::kScClose));
  EXPECT_TRUE(Main().closed());
  // Closing ends the process, as ever.
  ASSERT_TRUE(machine.TerminatedWith().has_value());
  EXPECT_EQ(*machine.TerminatedWith(), 0u);
}

TEST_F(SystemMenuTest, TheAboutBoxIsOwnedByTheMainWindow) {
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAbout));
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, &Main());
  EXPECT_EQ(boxes[0].caption, "关于");
  EXPECT_EQ(boxes[0].text,
            "Corvane网卡操作 v4.0\r\n\r\n"
            "管理本机网卡的IPv4地址:查看网卡信息,添加单个地址或地址范围,删除选中地址,储存到注册表,设置TCP/IPv4属性.\r\n\r\n"
            "请以管理员身份运行.");
  EXPECT_EQ(boxes[0].flags, 0x2040u);
  EXPECT_EQ(info::ShowInfoBox(Context(), "x", 0), 0);  // IDOK minus 1
  EXPECT_EQ(Boxes().back().caption, "信息：");
}

TEST_F(SystemMenuTest, OnlyWebAddressesAreOpenedWithTheirVerbAndShowCommand) {
  EXPECT_EQ(info::OpenDocument(Context(), 2, "https://corvane.example/a", "", "", 1), 0);
  EXPECT_EQ(info::OpenDocument(Context(), 3, "HTTP://corvane.example/b", "", "", 3), 0);
  EXPECT_EQ(info::OpenDocument(Context(), 9, "http://corvane.example", "", "", 4), 0);
  EXPECT_EQ(windows.shellRequests(), (Strings{"print|https://corvane.example/a|||0",
                                              "explore|HTTP://corvane.example/b|||2",
                                              "Open|http://corvane.example|||3"}));
  for (const char* refused : {"", "calc.exe", "file:///C:/Windows/system32/cmd.exe", "javascript:alert(1)",
                              "https://", "https:///x", "https://a b", "https://a\"b", "https://a\tb",
                              "https://网卡.example/", "ftp://corvane.example/"})
    EXPECT_EQ(info::OpenDocument(Context(), 1, refused), info::kDocumentRefused) << refused;
  // A browser is handed nothing but the address.
  EXPECT_EQ(info::OpenDocument(Context(), 1, "https://corvane.example/", "--no-sandbox"), info::kDocumentRefused);
  EXPECT_EQ(windows.shellRequests().size(), 3u);
  // The shell's failure comes back as it is.
  windows.SetOpenResult(static_cast<int32_t>(0x80004005));
  EXPECT_EQ(info::OpenDocument(Context(), 1, "https://corvane.example/"), static_cast<int32_t>(0x80004005));
  EXPECT_EQ(windows.shellRequests().size(), 4u);
}

TEST(UrlUnescape, DecodesPercentSequencesWithinTheBuffer) {
  EXPECT_EQ(info::UnescapeUrl(info::kEncodedContactAddress), "https://corvane.example/contact?from=pelmora&version=3.63");
  EXPECT_EQ(info::UnescapeUrl("a%2fb%zz%4"), "a/b%zz%4");
  EXPECT_EQ(info::UnescapeUrl("https://x/%00.exe"), "");
  EXPECT_EQ(info::UnescapeUrl(std::string(259, 'a')), std::string(259, 'a'));
  EXPECT_EQ(info::UnescapeUrl(std::string(260, 'a')), "");
}

// The task on its own thread while the main window is not there yet.
class SystemMenuTaskTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // A task still waiting would outlive the test: it gets its window.
    if (!done) CreateMainWindow();
    machine.WaitForThreads();
  }

  void StartTask() {
    ASSERT_TRUE(machine.kernel().StartThread([this] {
      info::SystemMenuTask(context);
      done = true;
    }));
  }
  headless::HeadlessWindow* CreateMainWindow() {
    windows.CreateMainWindow(app::MainWindowSpec(), [](platform::Window&, const platform::Event&) {});
    return windows.mainWindow();
  }
  bool EndsWithin(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done;
  }

  sim::Machine machine;
  headless::HeadlessWindowSystem windows;
  platform::Services services{machine.ipHelper(), machine.router(),    machine.registry(),
                              machine.automation(), machine.sockets(),  machine.clipboard(),
                              machine.internet(),   windows,            machine.kernel()};
  app::AppContext context{services};
  std::atomic<bool> done{false};
};

TEST_F(SystemMenuTaskTest, LooksForTheWindowAPauseApartAndExtendsItsMenuOnceItIsThere) {
  StartTask();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // About one lookup per pause; a loop without a pause makes thousands in that time.
  const int lookups = windows.mainWindowLookups();
  EXPECT_GE(lookups, 2);
  EXPECT_LE(lookups, 300 / static_cast<int>(info::kMainWindowPollMilliseconds) * 2);
  EXPECT_FALSE(done);
  headless::HeadlessWindow* main = CreateMainWindow();
  ASSERT_TRUE(EndsWithin(std::chrono::seconds(5)));
  EXPECT_EQ(main->systemMenuItems().size(), 10u);
  EXPECT_TRUE(main->hasMessageFilter());
}

TEST_F(SystemMenuTaskTest, EndsWithTheProcessWhenTheWindowNeverShows) {
  StartTask();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  machine.kernel().TerminateOwnProcess(0);
  ASSERT_TRUE(EndsWithin(std::chrono::seconds(5)));
  const int lookups = windows.mainWindowLookups();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(windows.mainWindowLookups(), lookups);
}

}  // namespace
}  // namespace corvane::testing
