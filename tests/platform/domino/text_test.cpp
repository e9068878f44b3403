// Decoding of what clients send (Base64 credentials, escaped path segments) and the text
// conversions of pages, at their boundaries.
#include "text.h"

#include <gtest/gtest.h>

using namespace domino;

TEST(DominoText, Base64AcceptsOnlyStrictPaddedText) {
    EXPECT_EQ(base64Decode(""), std::string());
    EXPECT_EQ(base64Decode("YQ=="), std::string("a"));
    EXPECT_EQ(base64Decode("YWI="), std::string("ab"));
    EXPECT_EQ(base64Decode("YWJj"), std::string("abc"));
    EXPECT_EQ(base64Decode("AP8="), std::string("\0\xff", 2));
    EXPECT_FALSE(base64Decode("YQ"));       // padding missing
    EXPECT_FALSE(base64Decode("Y==="));     // too much padding
    EXPECT_FALSE(base64Decode("YQ==YWJj")); // data after padding
    EXPECT_FALSE(base64Decode("YW=j"));
    EXPECT_FALSE(base64Decode("YW J"));
    EXPECT_FALSE(base64Decode("YW*j"));
}

TEST(DominoText, PercentDecodingRefusesBrokenEscapesAndNul) {
    EXPECT_EQ(percentDecode("(%24All)"), std::string("($All)"));
    EXPECT_EQ(percentDecode("%2e%2E"), std::string(".."));
    EXPECT_FALSE(percentDecode("%"));
    EXPECT_FALSE(percentDecode("a%2"));
    EXPECT_FALSE(percentDecode("%zz"));
    EXPECT_FALSE(percentDecode("a%00b"));
}

TEST(DominoText, Latin1AndUtf8RoundTrip) {
    const std::string latin1 = "Caf\xe9 \xdf \xff";
    const std::string utf8 = latin1ToUtf8(latin1);
    EXPECT_EQ(utf8, "Caf\xc3\xa9 \xc3\x9f \xc3\xbf");
    EXPECT_EQ(utf8ToLatin1IfPossible(utf8), latin1);
    // Characters beyond ISO-8859-1, and bytes that are not UTF-8, stay as they came.
    EXPECT_EQ(utf8ToLatin1IfPossible("\xe2\x82\xac"), "\xe2\x82\xac");
    EXPECT_EQ(utf8ToLatin1IfPossible("J\xe9r"), "J\xe9r");
    EXPECT_EQ(htmlEscape("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
}
