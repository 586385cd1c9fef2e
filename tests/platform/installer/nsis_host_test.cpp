#include <gtest/gtest.h>

#include <string>

#include "platform/installer/nsis.h"

TEST(NsisHost, StackIsLastInFirstOutAndCutToStringSize) {
    platform::NsisHost host(16);
    host.Push("first");
    host.Push(std::string(40, 'x'));
    EXPECT_EQ(host.StackDepth(), 2u);
    EXPECT_EQ(host.Pop(), std::string(15, 'x'));
    EXPECT_EQ(host.Pop(), "first");
    EXPECT_FALSE(host.Pop().has_value());
}

TEST(NsisHost, VariablesAreBoundedSlots) {
    platform::NsisHost host(8);
    host.SetVariable(0, "abc");
    host.SetVariable(24, "0123456789");
    host.SetVariable(25, "ignored");
    EXPECT_EQ(host.Variable(0), "abc");
    EXPECT_EQ(host.Variable(24), "0123456");
    EXPECT_EQ(host.Variable(25), "");
}

TEST(NsisHost, MissingLibraryIsReported) {
    platform::NsisHost host;
    EXPECT_FALSE(host.Load("/nonexistent/plugin.so"));
    EXPECT_FALSE(host.error().empty());
    EXPECT_FALSE(host.Call("anything"));
}
