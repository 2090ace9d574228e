#include "lobby/join_link.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const std::wstring kA43(43, L'a');

TEST(ParseJoinLink, AcceptsTheExactShapes) {
    struct Case {
        std::wstring link;
        std::string ticket;
    };
    const std::string a43(43, 'a');
    const std::string mixed = "AZaz09_-" + std::string(35, 'Q');
    const Case cases[] = {
        {L"txqjoin://enter?ticket=" + kA43, a43},
        {L"txqjoin-native://enter?ticket=" + kA43, a43},
        {L"txqjoin://enter/?ticket=" + kA43, a43},
        {L"txqjoin-native://enter/?ticket=" + kA43, a43},
        {L"TXQJOIN://ENTER/?ticket=" + std::wstring(43, L'B'), std::string(43, 'B')},
        {L"TxqJoin-NATIVE://Enter/?TICKET=" + toWide(mixed), mixed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toNarrow(c.link));
        EXPECT_EQ(parseJoinLink(c.link), c.ticket);
    }
}

TEST(ParseJoinLink, RejectsEverythingElse) {
    const std::wstring valid = L"txqjoin://enter/?ticket=" + kA43;
    const std::wstring rejected[] = {
        valid + L"&cmd=quit",
        valid + L"#fragment",
        valid + L"&ticket=duplicate",
        valid + L"/",
        L"txqjoin://enter/extra?ticket=" + kA43,
        L"txqjoin://enter//?ticket=" + kA43,
        L"txqjoin://other/?ticket=" + kA43,
        L"https://enter?ticket=abc",
        L"txqjoin://enter?ticket=abc",
        L"txqjoin://enter?cmd=quit",
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a'),
        L"txqjoin://enter/?ticket=" + std::wstring(44, L'a'),
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + L"+",
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + L"/",
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + L"=",
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + L".",
        L"txqjoin://enter/?ticket=%61" + std::wstring(40, L'a'),
        L" " + valid,
        valid + L" ",
        L"\t" + valid,
        valid + L"\r\n",
        L"txqjoin-test://enter/?ticket=" + kA43,
        L"txqjoin:/enter/?ticket=" + kA43,
        L"xtxqjoin://enter/?ticket=" + kA43,
        // Non-ASCII anywhere: a letter that folds to ASCII, a full-width letter, an unpaired surrogate.
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + wchar_t(0x212A),
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + wchar_t(0xFF41),
        L"txqjoin://enter/?ticket=" + std::wstring(42, L'a') + wchar_t(0xD800),
        L"txqjoin://ènter/?ticket=" + kA43,
        L"",
    };
    for (const std::wstring& link : rejected) {
        EXPECT_EQ(testing::messageOf([&] { parseJoinLink(link); }), "连接链接无效，请使用大厅生成的链接")
            << toNarrow(link);
    }
}

TEST(ParseJoinLink, LongHostileInputIsRejectedWithoutTrouble) {
    EXPECT_THROW(parseJoinLink(L"txqjoin://enter/?ticket=" + std::wstring(32'767, L'a')), UserError);
    EXPECT_THROW(parseJoinLink(std::wstring(32'767, L'/')), UserError);
}

}  // namespace
}  // namespace quorvel
