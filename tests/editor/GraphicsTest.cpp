#include "../plugcore/TestPlug.h"
#include "NullGraphics.h"

#include <gtest/gtest.h>

namespace {

// A control that records the pointer events it gets.
class ProbeControl : public IControl {
public:
    ProbeControl(IParamOwner* owner, const IRect& rect, int paramIdx, std::vector<std::string>* log, const char* name)
        : IControl(owner, rect, paramIdx), m_log(log), m_name(name)
    {
    }
    bool Draw(IGraphics*) override
    {
        m_log->push_back(m_name + " draw");
        return true;
    }
    void OnMouseDown(int x, int y, const IMouseMod&) override { Record("down", x, y); }
    void OnMouseUp(int x, int y) override { Record("up", x, y); }
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod&) override
    {
        Record("drag", x, y);
        m_log->back() += " d" + std::to_string(dX) + "," + std::to_string(dY);
    }

private:
    void Record(const char* what, int x, int y)
    {
        m_log->push_back(m_name + " " + what + " " + std::to_string(x) + "," + std::to_string(y));
    }
    std::vector<std::string>* m_log;
    std::string m_name;
};

class Graphics : public testing::Test {
protected:
    Graphics() : gui(&plug, 275, 212) {}
    ProbeControl* Add(const IRect& rect, int paramIdx, const char* name)
    {
        auto* c = new ProbeControl(&plug, rect, paramIdx, &events, name);
        gui.AttachControl(c);
        return c;
    }
    TestPlug plug;
    NullGraphics gui;
    std::vector<std::string> events;
};

TEST_F(Graphics, RectOperations)
{
    const IRect a(10, 10, 20, 20);
    EXPECT_TRUE(a.Intersects(IRect(20, 10, 30, 20))); // a's right edge touches: inclusive
    EXPECT_FALSE(a.Intersects(IRect(0, 0, 10, 10)));  // a's left edge is strict
    EXPECT_FALSE(a.Intersects(IRect()));
    EXPECT_EQ(a.Union(IRect()), a);
    EXPECT_EQ(IRect().Union(a), a);
    EXPECT_EQ(a.Union(IRect(5, 15, 12, 30)), IRect(5, 10, 20, 30));
}

TEST_F(Graphics, EventsGoToTheTopmostReachableControl)
{
    Add(IRect(0, 0, 100, 100), -1, "low");
    ProbeControl* high = Add(IRect(50, 50, 100, 100), -1, "high");
    EXPECT_EQ(gui.GetMouseControlIdx(60, 60), 1);
    EXPECT_EQ(gui.GetMouseControlIdx(10, 10), 0);
    high->Hide(true);
    EXPECT_EQ(gui.GetMouseControlIdx(60, 60), 0);
    high->Hide(false);
    high->GrayOut(true);
    EXPECT_EQ(gui.GetMouseControlIdx(60, 60), 0);
    high->GrayOut(false);
    high->SetTargetRECT(IRect());
    EXPECT_EQ(gui.GetMouseControlIdx(60, 60), 0);
    EXPECT_EQ(gui.GetMouseControlIdx(150, 150), -1);
}

TEST_F(Graphics, CaptureHoldsThroughADragOutsideTheEditor)
{
    Add(IRect(0, 0, 50, 50), 1, "knob");
    Add(IRect(50, 0, 100, 50), -1, "other");
    gui.OnMouseDown(10, 10, IMouseMod(true));
    gui.OnMouseDrag(10, 10, IMouseMod(true)); // same place: nothing
    gui.OnMouseDrag(60, 5, IMouseMod(true));
    gui.OnMouseDrag(-40, 500, IMouseMod(true));
    gui.OnMouseUp(-40, 500);
    gui.OnMouseDrag(20, 20, IMouseMod(true)); // no capture any more
    EXPECT_EQ(events, (std::vector<std::string>{"knob down 10,10", "knob drag 60,5 d50,-5",
                                                "knob drag -40,500 d-100,495", "knob up -40,500"}));
    EXPECT_EQ(plug.log, (std::vector<std::string>{"begin 1", "end 1"}));
    EXPECT_EQ(gui.GetMouseCapture(), -1);
}

TEST_F(Graphics, ClickOnNothingTakesNoCapture)
{
    Add(IRect(0, 0, 50, 50), 1, "knob");
    gui.OnMouseDown(100, 100, IMouseMod(true));
    gui.OnMouseDrag(10, 10, IMouseMod(true));
    gui.OnMouseUp(10, 10); // the button-up goes to what is under it
    EXPECT_EQ(events, (std::vector<std::string>{"knob up 10,10"}));
    // No press began a gesture, so none ends.
    EXPECT_TRUE(plug.log.empty());
}

TEST_F(Graphics, DrawsOnlyWhatTouchesTheRectangleAndCleansAll)
{
    EXPECT_TRUE(gui.Draw(IRect(0, 0, 10, 10))); // no controls: nothing presented
    EXPECT_TRUE(gui.presented.empty());

    Add(IRect(0, 0, 275, 212), -1, "back");
    ProbeControl* left = Add(IRect(0, 0, 50, 50), -1, "left");
    Add(IRect(100, 0, 150, 50), -1, "right");
    ProbeControl* hidden = Add(IRect(0, 0, 50, 50), -1, "hidden");
    hidden->Hide(true);

    IRect dirty;
    EXPECT_TRUE(gui.IsDirty(&dirty));
    gui.Draw(IRect(0, 0, 100, 50)); // "right" starts where the rectangle ends: still drawn
    EXPECT_EQ(events, (std::vector<std::string>{"back draw", "left draw", "right draw"}));
    EXPECT_EQ(gui.presented.back(), IRect(0, 0, 100, 50));
    EXPECT_TRUE(hidden->IsDirty()); // redrawn once more after being hidden

    gui.Draw(IRect(0, 0, 100, 50));
    dirty = IRect();
    EXPECT_FALSE(gui.IsDirty(&dirty));
    EXPECT_TRUE(dirty.Empty());

    left->SetValueFromPlug(0.5);
    dirty = IRect();
    EXPECT_TRUE(gui.IsDirty(&dirty));
    EXPECT_EQ(dirty, IRect(0, 0, 50, 50));
}

TEST_F(Graphics, ParameterValuesReachEveryBoundControl)
{
    ValueControl* a = new ValueControl(&plug, 1);
    ValueControl* b = new ValueControl(&plug, 1);
    ValueControl* other = new ValueControl(&plug, 0);
    gui.AttachControl(a);
    gui.AttachControl(b);
    gui.AttachControl(other);
    gui.SetParameterFromPlug(1, 0.375, false);
    EXPECT_EQ(a->GetValue(), 0.75);
    EXPECT_EQ(b->GetValue(), 0.75);
    EXPECT_EQ(other->GetValue(), 0.0);
    gui.SetParameterFromPlug(0, 1.0, true);
    EXPECT_EQ(other->GetValue(), 1.0);
}

TEST_F(Graphics, BackgroundGoesFirstAndResizeClearsEverything)
{
    Add(IRect(0, 0, 10, 10), -1, "a");
    Add(IRect(0, 0, 10, 10), -1, "b");
    gui.AttachBackground(100, "img/back.png");
    ASSERT_EQ(gui.NControls(), 3);
    auto* background = dynamic_cast<IBitmapControl*>(gui.GetControl(0));
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->GetBlend().method, IChannelBlend::kBlendReplace);
    EXPECT_EQ(background->ParamIdx(), -1);
    EXPECT_EQ(gui.GetMouseControlIdx(5, 5), 2);

    gui.OnMouseDown(5, 5, IMouseMod(true));
    gui.ResizeGraphics(300, 200);
    EXPECT_EQ(gui.NControls(), 0);
    EXPECT_EQ(gui.GetMouseCapture(), -1);
    EXPECT_EQ(gui.Width(), 300);
}

TEST_F(Graphics, DrawBitmapFrameSourceRows)
{
    const IBitmap knob(nullptr, 77, 5005, 65), single(nullptr, 10, 10, 1);
    const struct {
        const IBitmap* bitmap;
        int frame, row;
    } cases[] = {{&knob, 65, 4928}, {&knob, 1, 0}, {&knob, 2, 77}, {&single, 3, 0}};
    for (const auto& k : cases) {
        gui.DrawBitmapFrame(*k.bitmap, IRect(0, 0, 10, 10), k.frame);
        EXPECT_EQ(gui.blits.back().srcY, k.row) << k.frame;
    }
}

TEST_F(Graphics, FpsDefaultsWhenNotPositive)
{
    for (int fps : {0, -5}) EXPECT_EQ(NullGraphics(&plug, 10, 10, nullptr, fps).FPS(), 24);
    EXPECT_EQ(NullGraphics(&plug, 10, 10, nullptr, 30).FPS(), 30);
}

} // namespace
