#include <gtest/gtest.h>

#include "zXMLUtils.h"

using namespace ardvin;

TEST(Markup, WriteAndReadBack) {
    const std::string text = WriteElement("name", "a<b>&\"c\"");
    EXPECT_EQ(text, "\r\n<NAME>a&lt;b&gt;&amp;&quot;c&quot;</NAME>");
    EXPECT_EQ(ReadElementText("Name", text), "a<b>&\"c\"");
}
