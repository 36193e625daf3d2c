#include "../editor/NullGraphics.h"
#include "effect/KorFreeWayfarer.h"
#include "effect/KorISplashScreen.h"

#include <gtest/gtest.h>

namespace {

// Stand-in images with the sizes and frame counts of the effect's real ones.
class SizedGraphics : public NullGraphics {
public:
    using NullGraphics::NullGraphics;
    IBitmap LoadBitmapResource(int id, const char* name, int frames) override
    {
        IBitmap b = NullGraphics::LoadBitmapResource(id, name, frames);
        switch (id) {
        case KorFreeWayfarer::kBackgroundId: b.W = 275, b.H = 212; break;
        case KorFreeWayfarer::kSplashId: b.W = 225, b.H = 90; break;
        case KorFreeWayfarer::kSwitchId: b.W = 169, b.H = 42; break;
        case KorFreeWayfarer::kKnobId: b.W = 77, b.H = 5005; break;
        default: break;
        }
        return b;
    }
};

class EditorLayout : public testing::Test {
protected:
    EditorLayout()
    {
        gui = new SizedGraphics(&plug, 1, 1);
        plug.LayOutEditor(gui);
        plug.SetEditor(gui);
        plug.NotifyAllParamsChanged();
    }

    KorFreeWayfarer plug{nullptr};
    SizedGraphics* gui;
};

TEST_F(EditorLayout, ControlsInOrder)
{
    ASSERT_EQ(gui->NControls(), 8);
    EXPECT_EQ(gui->Width(), 275);
    EXPECT_EQ(gui->Height(), 212);
    const struct {
        IRect rect;
        int param;
    } expected[] = {
        {IRect(0, 0, 275, 212), -1},    {IRect(53, 109, 222, 130), 0},  {IRect(99, 85, 176, 162), 1},
        {IRect(96, 157, 179, 170), -1}, {IRect(119, 63, 157, 76), -1},  {IRect(96, 157, 179, 170), -1},
        {IRect(25, 61, 250, 151), -1},  {IRect(56, 196, 221, 209), -1},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(gui->GetControl(i)->GetRECT(), expected[i].rect) << i;
        EXPECT_EQ(gui->GetControl(i)->ParamIdx(), expected[i].param) << i;
    }
    EXPECT_EQ(plug.SplashControlIndex(), 6);
    EXPECT_NE(dynamic_cast<KorISplashScreen*>(gui->GetControl(6)), nullptr);
    EXPECT_TRUE(gui->GetControl(2)->GetDisablePrompt());

    const char* texts[] = {"L", "C", "R"};
    const IText::EAlign aligns[] = {IText::kAlignNear, IText::kAlignCenter, IText::kAlignFar};
    for (int i = 0; i < 3; ++i) {
        auto* label = dynamic_cast<ITextControl*>(gui->GetControl(3 + i));
        ASSERT_NE(label, nullptr);
        EXPECT_STREQ(label->GetText(), texts[i]);
        EXPECT_EQ(label->GetTextStyle().align, aligns[i]);
        EXPECT_EQ(label->GetTextStyle().size, 11);
        EXPECT_STREQ(label->GetTextStyle().font, "Tahoma");
        EXPECT_EQ(label->GetTextStyle().color, IColor(255, 33, 37, 40));
    }
    auto* version = dynamic_cast<ITextControl*>(gui->GetControl(7));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version->GetText(), "v1.2");
    EXPECT_EQ(version->GetTextStyle().style, IText::kStyleBold);
    EXPECT_EQ(version->GetTextStyle().color, IColor(255, 57, 64, 70));
}

} // namespace
