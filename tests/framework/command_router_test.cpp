#include "framework/command_id.h"
#include "framework/command_router.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vemra {
namespace {

// A target answering a fixed set of commands, recording what it ran.
class FakeTarget : public CommandTarget {
public:
    FakeTarget(std::string name, std::vector<std::string>* log)
        : m_name(std::move(name)), m_log(log) {}

    std::map<int, CommandState> rules;

    std::optional<CommandState> commandState(int id) const override {
        const auto it = rules.find(id);
        if (it == rules.end())
            return std::nullopt;
        return it->second;
    }
    bool onCommand(int id) override {
        if (!rules.count(id))
            return false;
        m_log->push_back(m_name + ":" + std::to_string(id));
        return true;
    }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

class CommandRouterTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    FakeTarget view{"view", &log};
    FakeTarget document{"document", &log};
    FakeTarget frame{"frame", &log};
    FakeTarget application{"application", &log};
    CommandRouter router;

    void SetUp() override {
        router.setTarget(CommandRouter::Level::ActiveView, &view);
        router.setTarget(CommandRouter::Level::Document, &document);
        router.setTarget(CommandRouter::Level::Frame, &frame);
        router.setTarget(CommandRouter::Level::Application, &application);
    }
};

TEST_F(CommandRouterTest, ViewThenDocumentThenFrameThenApplication) {
    application.rules[1] = {};
    frame.rules[1] = {};
    frame.rules[2] = {};
    document.rules[1] = {};
    document.rules[2] = {};
    document.rules[3] = {};
    view.rules[1] = {};
    view.rules[2] = {};
    view.rules[3] = {};
    view.rules[4] = {};
    application.rules[4] = {};
    for (int id : {1, 2, 3, 4})
        EXPECT_TRUE(router.route(id));
    EXPECT_EQ(log, (std::vector<std::string>{"view:1", "view:2", "view:3", "view:4"}));

    log.clear();
    router.setTarget(CommandRouter::Level::ActiveView, nullptr);
    for (int id : {1, 2, 3, 4})
        router.route(id);
    EXPECT_EQ(
        log, (std::vector<std::string>{"document:1", "document:2", "document:3", "application:4"}));
    EXPECT_EQ(router.owner(4), &application);
    EXPECT_EQ(router.owner(2), &document);
}

TEST_F(CommandRouterTest, FirstAnsweringTargetDecidesEvenWhenDisabled) {
    // The document's rule disables the command; the frame, which would run
    // it, is never asked.
    document.rules[kCmdSelectAll] = CommandState{false, false};
    frame.rules[kCmdSelectAll] = CommandState{true, true};
    EXPECT_EQ(router.state(kCmdSelectAll), (CommandState{false, false}));
    EXPECT_FALSE(router.route(kCmdSelectAll));
    EXPECT_TRUE(log.empty());

    document.rules[kCmdSelectAll] = CommandState{true, true};
    EXPECT_EQ(router.state(kCmdSelectAll), (CommandState{true, true}));
    EXPECT_TRUE(router.route(kCmdSelectAll));
    EXPECT_EQ(log, std::vector<std::string>{"document:32793"});
}

TEST_F(CommandRouterTest, UnansweredCommandsAreDisabledAndNotRun) {
    EXPECT_EQ(router.state(kCmdMenuTitle), (CommandState{false, false}));
    EXPECT_EQ(router.owner(kCmdMenuTitle), nullptr);
    EXPECT_FALSE(router.route(kCmdMenuTitle));

    CommandRouter empty;
    EXPECT_EQ(empty.state(kCmdHelp), (CommandState{false, false}));
    EXPECT_FALSE(empty.route(kCmdHelp));
    EXPECT_TRUE(log.empty());
}

TEST_F(CommandRouterTest, ActiveViewProviderIsAskedEveryTime) {
    FakeTarget other{"other", &log};
    other.rules[7] = {};
    view.rules[7] = {};
    CommandTarget* active = &view;
    router.setActiveViewProvider([&] { return active; });
    router.route(7);
    active = &other;
    router.route(7);
    active = nullptr;
    document.rules[7] = {};
    router.route(7);
    EXPECT_EQ(log, (std::vector<std::string>{"view:7", "other:7", "document:7"}));

    router.setActiveViewProvider({});
    EXPECT_EQ(router.target(CommandRouter::Level::ActiveView), &view);
}

} // namespace
} // namespace vemra
