#include "app/stored_texts.h"

#include <array>
#include <cstddef>

namespace corvane::app {

namespace {

constexpr unsigned char KeyByte(size_t i) { return static_cast<unsigned char>((0xA7 + i * 61) ^ (i >> 3)); }

template <size_t N>
struct Enciphered {
  std::array<unsigned char, N> bytes{};
};

// Runs at compile time only, so the plain text never reaches the program image.
template <size_t N>
consteval Enciphered<N - 1> Encipher(const char (&plain)[N]) {
  Enciphered<N - 1> out;
  for (size_t i = 0; i + 1 < N; ++i) out.bytes[i] = static_cast<unsigned char>(plain[i]) ^ KeyByte(i);
  return out;
}

template <size_t N>
std::string Reveal(const Enciphered<N>& e) {
  std::string plain(N, '\0');
  for (size_t i = 0; i < N; ++i) plain[i] = static_cast<char>(e.bytes[i] ^ KeyByte(i));
  return plain;
}

constexpr auto kWindowTitle = Encipher("Corvane网卡操作 v4.0");
constexpr auto kBanner = Encipher("Corvane网卡操作 v4.0 已启动,管理本机网卡的IPv4地址.");
constexpr auto kCommunityCaption = Encipher("用户交流");
constexpr auto kIssueCaption = Encipher("提交问题");
constexpr auto kIssueAddress = Encipher("https://corvane.example/issues");
constexpr auto kCommunityAddress = Encipher("https://corvane.example/community");
constexpr auto kAboutText = Encipher(
    "Corvane网卡操作 v4.0\r\n\r\n"
    "管理本机网卡的IPv4地址:查看网卡信息,添加单个地址或地址范围,删除选中地址,"
    "储存到注册表,设置TCP/IPv4属性.\r\n\r\n"
    "请以管理员身份运行.");

}  // namespace

std::string Decipher(StoredText which) {
  switch (which) {
    case StoredText::WindowTitle:
      return Reveal(kWindowTitle);
    case StoredText::Banner:
      return Reveal(kBanner);
    case StoredText::CommunityCaption:
      return Reveal(kCommunityCaption);
    case StoredText::IssueCaption:
      return Reveal(kIssueCaption);
    case StoredText::IssueAddress:
      return Reveal(kIssueAddress);
    case StoredText::CommunityAddress:
      return Reveal(kCommunityAddress);
    case StoredText::AboutText:
      return Reveal(kAboutText);
  }
  return {};
}

}  // namespace corvane::app
