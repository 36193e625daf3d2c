#pragma once
// The editor's four images and a preview of the assembled panel.
//
// The images are drawn for the places where the editor puts them, so the editor's layout is
// repeated here: where the switch, the knob, the labels and the version text land on the
// background, and how many frames each strip holds.

#include "Canvas.h"
#include "Lettering.h"

namespace art {

struct Rect {
    int left, top, right, bottom; // right and bottom exclusive
};

constexpr int kEditorWidth = 275;
constexpr int kEditorHeight = 212;
constexpr int kSplashWidth = 225;
constexpr int kSplashHeight = 90;
constexpr int kSwitchWidth = 169;
constexpr int kSwitchFrameHeight = 21;
constexpr int kSwitchFrames = 2; // "Left", "Right"
constexpr int kKnobSize = 77;
constexpr int kKnobFrames = 65;
// The knob's pointer turns linearly from the first frame to the last, through straight up at the
// middle frame; clockwise is positive.
constexpr double kKnobMinDegrees = -150.0;
constexpr double kKnobMaxDegrees = 150.0;

// Where the editor places things, in editor pixels.
constexpr int kSwitchX = 53, kSwitchY = 109;
constexpr int kKnobX = 99, kKnobY = 85;
constexpr int kSplashX = (kEditorWidth - kSplashWidth) / 2;
constexpr int kSplashY = (kEditorHeight - kSplashHeight) / 2;
constexpr Rect kSideLabelRect{96, 157, 179, 170}; // "L" left-aligned, "R" right-aligned
constexpr Rect kCentreLabelRect{119, 63, 157, 76};
constexpr Rect kVersionRect{56, 196, 221, 209};
constexpr Rect kTitleStrip{0, 0, 275, 34}; // a click here brings the splash back
// The editor's text styles: cell heights in pixels and colours.
constexpr int kLabelCellHeight = 11;
constexpr Color kLabelColor = Rgb(33, 37, 40);
constexpr int kVersionCellHeight = 12;
constexpr Color kVersionColor = Rgb(57, 64, 70);
constexpr const char* kVersionText = "v1.2";

inline double KnobFrameDegrees(int frame)
{
    return kKnobMinDegrees + (kKnobMaxDegrees - kKnobMinDegrees) * frame / (kKnobFrames - 1);
}

struct Artwork {
    Canvas background{kEditorWidth, kEditorHeight};
    Canvas splash{kSplashWidth, kSplashHeight};
    Canvas switchStrip{kSwitchWidth, kSwitchFrameHeight* kSwitchFrames};
    Canvas knobStrip{kKnobSize, kKnobSize* kKnobFrames};
};

Artwork DrawArtwork(const Lettering& lettering);

// The editor as it first appears without its splash: the background, the switch and knob frames
// for the given zero-based frame indices composited the way the editor composites them, and the
// editor's own texts set in its styles.
Canvas DrawPreview(const Artwork& artwork, const Lettering& lettering, int switchFrame, int knobFrame);

} // namespace art
