#pragma once

#include <string>
#include <string_view>

namespace quorvel {

inline constexpr const char* kInvalidLinkMessage = "连接链接无效，请使用大厅生成的链接";

// Turns a join link (txqjoin:// or txqjoin-native://) into its 43-character Ticket; anything
// but the one exact shape fails with kInvalidLinkMessage.
std::string parseJoinLink(std::wstring_view link);

}  // namespace quorvel
