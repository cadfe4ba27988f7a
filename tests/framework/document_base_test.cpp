#include "framework/document_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vemra {
namespace {

struct Received {
    DocumentView* sender;
    UpdateHint hint;
};

class RecordingView : public DocumentView {
public:
    std::vector<Received> received;
    std::function<void()> onNext;

    void onUpdate(DocumentView* sender, const UpdateHint& hint) override {
        received.push_back({sender, hint});
        if (onNext)
            onNext();
    }
};

TEST(DocumentBase, BroadcastSkipsTheSenderAndKeepsAttachOrder) {
    DocumentBase doc;
    RecordingView a, b, c;
    doc.addView(&a);
    doc.addView(&b);
    doc.addView(&c);
    doc.addView(&b); // attaching twice changes nothing
    ASSERT_EQ(doc.views().size(), 3u);

    doc.updateAllViews(&b, hint::SelectionChanged{true, 4});
    doc.updateAllViews(nullptr, hint::ScanFinished{"/pics"});

    ASSERT_EQ(a.received.size(), 2u);
    ASSERT_EQ(b.received.size(), 1u);
    EXPECT_EQ(a.received[0].sender, &b);
    EXPECT_EQ(hintNumber(a.received[0].hint), 6);
    EXPECT_TRUE(a.received[0].hint == UpdateHint(hint::SelectionChanged{true, 4}));
    EXPECT_EQ(hintNumber(b.received[0].hint), 2);
    EXPECT_TRUE(b.received[0].hint == UpdateHint(hint::ScanFinished{"/pics"}));
    EXPECT_EQ(a.document(), &doc);
}

// A view's handlers: the one for the hint's own type wins over a handler for
// several hints, which wins over ignoring it; hints without a handler are
// ignored; the numbers are the fixed ones.
TEST(DocumentBase, VisitHintCallsTheHandlerOfTheHintsOwnType) {
    using hint::OneOf;
    struct Case {
        UpdateHint hint;
        int number;
        std::string handled;
    };
    const std::vector<Case> cases = {
        {hint::RedrawAll{"/p"}, 0, "all /p"},  {hint::EntryRemoved{3}, 17, "all"},
        {hint::RedrawEntry{5}, 10, "entry 5"}, {hint::FocusChanged{true, 2}, 13, "focus 1 2"},
        {hint::SelectFolder{"/q"}, 12, ""},    {hint::FolderStep{hint::Direction::Right}, 21, ""},
    };
    for (const Case& c : cases) {
        std::string handled;
        visitHint(
            c.hint, [&](const hint::RedrawAll& all) { handled = "all " + all.folder; },
            [&](const OneOf<hint::RedrawAll, hint::EntryRemoved> auto&) { handled = "all"; },
            [&](const hint::RedrawEntry& e) { handled = "entry " + std::to_string(e.position); },
            [&](const hint::FocusChanged& f) {
                handled = "focus " + std::to_string(f.focused) + " " + std::to_string(f.position);
            });
        EXPECT_EQ(handled, c.handled) << c.number;
        EXPECT_EQ(hintNumber(c.hint), c.number);
    }
}

TEST(DocumentBase, ViewsDetachingDuringABroadcastAreNotCalledAfterwards) {
    DocumentBase doc;
    RecordingView a, c;
    auto b = std::make_unique<RecordingView>();
    doc.addView(&a);
    doc.addView(b.get());
    doc.addView(&c);
    RecordingView late;
    a.onNext = [&] {
        b.reset(); // destroyed while attached: detaches itself
        doc.addView(&late);
    };
    doc.updateAllViews(nullptr, hint::RedrawAll{});
    EXPECT_EQ(c.received.size(), 1u);
    EXPECT_TRUE(late.received.empty()); // attached during the broadcast
    EXPECT_EQ(doc.views().size(), 3u);
    a.onNext = nullptr;
    doc.updateAllViews(nullptr, hint::RedrawAll{});
    EXPECT_EQ(late.received.size(), 1u);
}

TEST(DocumentBase, MovingAViewAndDestroyingTheDocument) {
    RecordingView v;
    {
        DocumentBase first;
        DocumentBase second;
        first.addView(&v);
        second.addView(&v);
        EXPECT_TRUE(first.views().empty());
        EXPECT_EQ(v.document(), &second);
        second.removeView(&v);
        EXPECT_EQ(v.document(), nullptr);
        second.addView(&v);
    }
    EXPECT_EQ(v.document(), nullptr); // the document went first; the view outlives it safely
}

} // namespace
} // namespace vemra
