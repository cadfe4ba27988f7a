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
    int hint;
    HintData data;
};

class RecordingView : public DocumentView {
public:
    std::vector<Received> received;
    std::function<void()> onNext;

    void onUpdate(DocumentView* sender, int hint, const HintData& data) override {
        received.push_back({sender, hint, data});
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

    doc.updateAllViews(&b, hint::kSelectionChanged, FlagAtPosition{1, 4});
    doc.updateAllViews(nullptr, hint::kScanFinished, std::string("/pics"));

    ASSERT_EQ(a.received.size(), 2u);
    ASSERT_EQ(b.received.size(), 1u);
    EXPECT_EQ(a.received[0].sender, &b);
    EXPECT_EQ(a.received[0].hint, 6);
    EXPECT_EQ(hintFlagAtPosition(a.received[0].data), (FlagAtPosition{1, 4}));
    EXPECT_EQ(b.received[0].hint, 2);
    ASSERT_NE(hintText(b.received[0].data), nullptr);
    EXPECT_EQ(*hintText(b.received[0].data), "/pics");
    EXPECT_EQ(a.document(), &doc);
}

TEST(DocumentBase, HintDataReadersTolerateTheWrongAlternative) {
    HintData none;
    EXPECT_EQ(hintText(none), nullptr);
    EXPECT_EQ(hintPosition(none), -1);
    EXPECT_EQ(hintFlagAtPosition(std::string("x")).position, -1);
    EXPECT_EQ(hintPosition(HintData(7)), 7);
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
    doc.updateAllViews(nullptr, hint::kRedrawAll);
    EXPECT_EQ(c.received.size(), 1u);
    EXPECT_TRUE(late.received.empty()); // attached during the broadcast
    EXPECT_EQ(doc.views().size(), 3u);
    a.onNext = nullptr;
    doc.updateAllViews(nullptr, hint::kRedrawAll);
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
