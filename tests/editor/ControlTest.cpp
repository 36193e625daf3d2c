#include "../plugcore/TestPlug.h"
#include "NullGraphics.h"

#include <gtest/gtest.h>

namespace {

class Controls : public testing::Test {
protected:
    Controls()
    {
        gui = new NullGraphics(&plug, 275, 212);
        plug.SetEditor(gui);
        plug.log.clear();
    }
    // A strip of `frames` frames, 20 x 10 each.
    static IBitmap Strip(int frames) { return IBitmap(nullptr, 20, 10 * frames, frames); }

    TestPlug plug;
    NullGraphics* gui;
};

TEST_F(Controls, HitAreaEdges)
{
    ValueControl c(&plug, -1);
    c.SetTargetRECT(IRect(10, 20, 30, 40));
    const struct {
        int x, y;
        bool hit;
    } cases[] = {{10, 20, true}, {29, 39, true}, {30, 25, false}, {15, 40, false}, {9, 25, false}};
    for (const auto& k : cases) EXPECT_EQ(c.IsHit(k.x, k.y), k.hit) << k.x << "," << k.y;
    c.SetTargetRECT(IRect());
    EXPECT_FALSE(c.IsHit(0, 0));
}

TEST_F(Controls, DoubleClickRestoresTheFirstPushedValue)
{
    ValueControl c(&plug, 1);
    c.SetValue(0.8);
    c.OnMouseDblClick(0, 0, IMouseMod());
    EXPECT_EQ(c.GetValue(), 0.8); // nothing pushed yet: nothing to restore
    EXPECT_TRUE(plug.log.empty());

    c.SetValueFromPlug(0.3);
    c.SetValueFromPlug(0.9);
    c.OnMouseDblClick(0, 0, IMouseMod());
    EXPECT_EQ(c.GetValue(), 0.3);
    // A gesture of its own: begin, the change, end.
    EXPECT_EQ(plug.log,
              (std::vector<std::string>{"begin 1", "report 1 0.300000 was 0.000000", "change 1 -0.300000", "end 1"}));

    plug.log.clear();
    c.OnMouseDblClick(0, 0, IMouseMod()); // already there: nothing to tell
    EXPECT_TRUE(plug.log.empty());
}

TEST_F(Controls, WheelStepsAndClamps)
{
    const struct {
        double start;
        IMouseMod mod;
        int delta;
        double expected;
    } cases[] = {
        {0.5, IMouseMod(), 3, 0.53},
        {0.5, IMouseMod(false, false, true), -2, 0.498},
        {0.5, IMouseMod(false, false, false, true), 1, 0.501},
        {0.99, IMouseMod(), 5, 1.0},
        {0.01, IMouseMod(), -5, 0.0},
    };
    for (const auto& k : cases) {
        ValueControl c(&plug, 1);
        c.SetValue(k.start);
        c.OnMouseWheel(0, 0, k.mod, k.delta);
        EXPECT_DOUBLE_EQ(c.GetValue(), k.expected) << k.start << " " << k.delta;
        EXPECT_DOUBLE_EQ(plug.GetParam(1)->GetNormalizedValue(), k.expected);
    }
}

TEST_F(Controls, SwitchStepsAndWraps)
{
    ISwitchControl two(&plug, 0, 0, 0, Strip(2));
    two.OnMouseDown(0, 0, IMouseMod(true));
    EXPECT_EQ(two.GetValue(), 1.0);
    EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
    two.OnMouseDown(0, 0, IMouseMod(true));
    EXPECT_EQ(two.GetValue(), 0.0);

    ISwitchControl three(&plug, 0, 0, -1, Strip(3));
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) {
        three.OnMouseDown(0, 0, IMouseMod(true));
        seen.push_back(three.GetValue());
    }
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
}

TEST_F(Controls, RightClickPromptsUnlessDisabledButStillPushes)
{
    ISwitchControl sw(&plug, 0, 0, 0, Strip(2));
    sw.SetGraphics(gui);
    sw.OnMouseDown(0, 0, IMouseMod(false, true));
    EXPECT_EQ(gui->prompts, (std::vector<std::string>{"prompt 0"}));

    sw.SetDisablePrompt(true);
    plug.log.clear();
    sw.OnMouseDown(0, 0, IMouseMod(false, true));
    EXPECT_EQ(gui->prompts.size(), 1u);
    EXPECT_EQ(sw.GetValue(), 0.0);
    ASSERT_EQ(plug.log.size(), 2u); // the unchanged value still goes to the plug-in
    EXPECT_EQ(plug.log[0], "report 0 0.000000 was 0.000000");
}

TEST_F(Controls, KnobDragFollowsGearing)
{
    IKnobMultiControl knob(&plug, 99, 85, 1, IBitmap(nullptr, 77, 77 * 65, 65), IKnobControl::kVertical, 4.0);
    EXPECT_EQ(knob.GetRECT(), IRect(99, 85, 176, 162));
    knob.SetValue(0.25);
    knob.OnMouseDrag(0, 0, 0, -154, IMouseMod(true));
    EXPECT_DOUBLE_EQ(knob.GetValue(), 0.75);
    knob.OnMouseDrag(0, 0, 0, -1000, IMouseMod(true));
    EXPECT_EQ(knob.GetValue(), 1.0);

    IKnobMultiControl wide(&plug, 0, 0, -1, IBitmap(nullptr, 40, 40, 1), IKnobControl::kHorizontal, 2.0);
    wide.OnMouseDrag(0, 0, 20, -50, IMouseMod(true));
    EXPECT_DOUBLE_EQ(wide.GetValue(), 0.25);
}

TEST_F(Controls, FrameChoice)
{
    const struct {
        double value;
        int frames, frame;
    } cases[] = {{0.0, 65, 1}, {0.0078125, 65, 2}, {0.0078, 65, 1}, {1.0, 65, 65}, {0.5, 65, 33}, {1.0, 2, 2},
                 {0.49, 2, 1}, {0.5, 2, 2},        {0.7, 1, 1},     {-3.0, 65, 1}, {9.0, 65, 65}};
    for (const auto& k : cases) EXPECT_EQ(FrameForValue(k.value, k.frames), k.frame) << k.value << "/" << k.frames;
}

TEST_F(Controls, OverlayHitAreaFollowsTheLastDraw)
{
    IBitmapOverlayControl overlay(&plug, 25, 61, -1, IBitmap(nullptr, 225, 90, 1), IRect(0, 0, 275, 34));
    EXPECT_EQ(overlay.GetTargetRECT(), IRect(25, 61, 250, 151)); // until drawn: its own rectangle
    overlay.Draw(gui);
    EXPECT_EQ(overlay.GetTargetRECT(), IRect(0, 0, 275, 34));
    EXPECT_TRUE(gui->blits.empty());
    overlay.SetValue(0.5); // exactly half is on
    overlay.Draw(gui);
    EXPECT_EQ(overlay.GetTargetRECT(), IRect(25, 61, 250, 151));
    EXPECT_EQ(gui->blits.size(), 1u);
}

TEST_F(Controls, SetValueFromPlugMarksDirtyTwiceButNotForTheSameValue)
{
    ValueControl c(&plug, 1);
    c.SetClean();
    c.SetValueFromPlug(0.0);
    EXPECT_FALSE(c.IsDirty());
    EXPECT_EQ(c.GetDefaultValue(), 0.0);
    c.SetValueFromPlug(0.4);
    EXPECT_TRUE(c.IsDirty());
    c.SetClean();
    EXPECT_TRUE(c.IsDirty()); // drawn once more
    c.SetClean();
    EXPECT_FALSE(c.IsDirty());
    EXPECT_TRUE(plug.log.empty()); // nothing went back to the plug-in
}

TEST_F(Controls, GrayOutAndHide)
{
    ValueControl c(&plug, -1);
    c.GrayOut(true);
    EXPECT_EQ(c.GetBlend().weight, 0.25f);
    c.GrayOut(false);
    EXPECT_EQ(c.GetBlend().weight, 1.0f);
    c.SetClean();
    c.Hide(true);
    EXPECT_TRUE(c.IsHidden());
    c.SetClean();
    EXPECT_TRUE(c.IsDirty());
}

TEST_F(Controls, TextControlDrawsOnlyText)
{
    ITextControl empty(&plug, IRect(0, 0, 10, 10), IText(), "");
    ITextControl label(&plug, IRect(0, 0, 10, 10), IText(), "L");
    EXPECT_TRUE(empty.Draw(gui));
    EXPECT_TRUE(label.Draw(gui));
    EXPECT_EQ(gui->texts, (std::vector<std::string>{"L"}));
    EXPECT_EQ(label.ParamIdx(), -1);
}

} // namespace
