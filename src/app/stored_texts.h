// The seven texts the program keeps enciphered and deciphers each time it uses one.
#pragma once

#include <string>

namespace corvane::app {

enum class StoredText {
  WindowTitle,
  Banner,
  CommunityCaption,  // caption of the link label 透明标签3
  IssueCaption,      // caption of the link label 透明标签2
  IssueAddress,      // opened by 透明标签2
  CommunityAddress,  // opened by 透明标签3
  AboutText,
};

std::string Decipher(StoredText which);

}  // namespace corvane::app
