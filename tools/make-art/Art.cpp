#include "Art.h"

#include "raster/LiceBitmap.h"
#include "raster/LiceBlit.h"

#include <string>

namespace art {

namespace {

// --- Palette -------------------------------------------------------------------------------------

// Brushed aluminium for the panel, dark anodised metal for the title bar and the controls, and one
// warm accent for whatever shows state: the knob's pointer, the lit switch, the name's subtitle.
constexpr Color kPanelTop = Rgb(228, 230, 232);
constexpr Color kPanelBottom = Rgb(201, 205, 209);
constexpr Color kTitleTop = Rgb(54, 59, 65);
constexpr Color kTitleBottom = Rgb(29, 32, 36);
constexpr Color kEngraving = Rgb(62, 68, 75);
constexpr Color kAccent = Rgb(255, 138, 28);
constexpr Color kAccentText = Rgb(255, 158, 58);
constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kBlack = Rgb(0, 0, 0);

// Light falls from above and a little from the left; surfaces facing it are lit.
const Vec kLight2D = Vec{-0.34, -0.94} * (1.0 / Length(Vec{-0.34, -0.94}));

// The knob's centre on the background.
constexpr Vec kKnobCentre{kKnobX + kKnobSize / 2.0, kKnobY + kKnobSize / 2.0};
// Radii shared by the knob and the well and scale around it on the background.
constexpr double kSkirtRadius = 29.5;
constexpr double kCapRadius = 22.0;
constexpr double kWellRadius = 33.0;
constexpr double kTickInner = 35.5;
constexpr double kTickOuter = 39.0;
constexpr double kMajorTickOuter = 41.0;

Box Around(Vec c, double r)
{
    return Box{static_cast<int>(std::floor(c.x - r)) - 1, static_cast<int>(std::floor(c.y - r)) - 1,
               static_cast<int>(std::ceil(c.x + r)) + 1, static_cast<int>(std::ceil(c.y + r)) + 1};
}
double Full(Vec) { return 1.0; }

// A stroke along the outline of a shape: the band where |distance| < halfWidth.
template <class DistanceFn>
void StrokeShape(Canvas& canvas, Box box, DistanceFn distance, double halfWidth, Color color)
{
    canvas.FillShape(
        box, [&](Vec p) { return std::fabs(distance(p)) - halfWidth; }, color);
}

// Text over a copy of itself one pixel lower in `under`, then the ink.
void DrawOverOffsetCopy(const Lettering& lettering, Canvas& canvas, const std::string& text, const TextStyle& style,
                        Color under, double left, double right, double baseline, Align align)
{
    TextStyle copy = style;
    copy.color = under;
    lettering.DrawAligned(canvas, text, copy, left, right, baseline + 1.0, align);
    lettering.DrawAligned(canvas, text, style, left, right, baseline, align);
}

// Text cut into a light surface: a highlight under the lower edge of each stroke.
void DrawEngraved(const Lettering& lettering, Canvas& canvas, const std::string& text, const TextStyle& style,
                  double left, double right, double baseline, Align align)
{
    DrawOverOffsetCopy(lettering, canvas, text, style, WithAlpha(kWhite, 0.7), left, right, baseline, align);
}

// Text on a dark surface: a shadow a pixel below.
void DrawOnDark(const Lettering& lettering, Canvas& canvas, const std::string& text, const TextStyle& style,
                double left, double right, double baseline, Align align)
{
    DrawOverOffsetCopy(lettering, canvas, text, style, WithAlpha(kBlack, 0.65), left, right, baseline, align);
}

// The phase-inversion sign, a ring crossed by a slash: the product's emblem.
void DrawEmblem(Canvas& canvas, Vec centre, double radius, Color color)
{
    const double stroke = radius * 0.2;
    const Vec reach = Direction(40.0) * (radius * 1.32);
    const Box box = Around(centre, radius * 1.5);
    canvas.FillShape(
        box,
        [&](Vec p) {
            const double ring = std::fabs(CircleDistance(p, centre, radius - stroke)) - stroke;
            return std::min(ring, SegmentDistance(p, centre - reach, centre + reach, stroke * 0.85));
        },
        color);
}

// A countersunk cross-head screw.
void DrawScrew(Canvas& canvas, Vec c, double turnDegrees)
{
    const double r = 4.3;
    const Box box = Around(c, r + 2.0);
    // The countersink: dark on its upper wall, catching light on the lower one.
    canvas.Fill(
        box,
        [&](Vec p) {
            return SoftCoverage(CircleDistance(p, c + Vec{0.0, 0.7}, r + 0.9), 0.8);
        },
        [](Vec) { return WithAlpha(kWhite, 0.75); });
    canvas.Fill(
        box,
        [&](Vec p) {
            return SoftCoverage(CircleDistance(p, c - Vec{0.0, 0.5}, r + 0.8), 0.8);
        },
        [](Vec) { return WithAlpha(kBlack, 0.32); });
    canvas.Fill(
        box, [&](Vec p) { return Coverage(CircleDistance(p, c, r)); },
        [&](Vec p) {
            const double lit = Dot((p - c) * (1.0 / r), kLight2D);
            return Mix(Rgb(128, 134, 141), Rgb(238, 240, 242), Clamp01(0.5 + 0.6 * lit));
        });
    StrokeShape(
        canvas, box, [&](Vec p) { return CircleDistance(p, c, r - 0.3); }, 0.35, WithAlpha(kBlack, 0.35));
    for (int arm = 0; arm < 2; ++arm) {
        const Vec d = Direction(turnDegrees + arm * 90.0) * (r * 0.62);
        canvas.FillShape(
            box,
            [&](Vec p) {
                return SegmentDistance(p, c - d + Vec{0.0, 0.6}, c + d + Vec{0.0, 0.6}, 0.55);
            },
            WithAlpha(kWhite, 0.55));
        canvas.FillShape(
            box, [&](Vec p) { return SegmentDistance(p, c - d, c + d, 0.62); }, Rgb(58, 62, 67));
    }
}

// --- Background ----------------------------------------------------------------------------------

void DrawPanel(Canvas& bg)
{
    bg.Fill(bg.Bounds(), Full, [](Vec p) {
        Color c = Mix(kPanelTop, kPanelBottom, SmoothStep(0.0, kEditorHeight, p.y));
        // Brushing: every row its own long streaks, plus fine grain.
        const int row = static_cast<int>(p.y);
        const double streak = Noise1(p.x / 23.0 + 17.0 * Hash01(row, 0, 5), row, 11);
        const double grain = Hash01(static_cast<int>(p.x), row, 23);
        c = Shade(c, (0.7 * streak + 0.3 * grain - 0.5) * 0.07);
        // A broad soft sheen across the upper middle.
        const double sheen = std::exp(-std::pow((p.x - 150.0) / 120.0, 2.0) - std::pow((p.y - 70.0) / 70.0, 2.0));
        return Shade(c, 0.10 * sheen);
    });
    // Bevel round the panel's outer edges.
    bg.Fill(Box{0, kTitleStrip.bottom, 1, kEditorHeight}, Full, [](Vec) { return WithAlpha(kWhite, 0.5); });
    bg.Fill(Box{kEditorWidth - 1, kTitleStrip.bottom, kEditorWidth, kEditorHeight}, Full,
            [](Vec) { return WithAlpha(kBlack, 0.22); });
    bg.Fill(Box{0, kEditorHeight - 1, kEditorWidth, kEditorHeight}, Full, [](Vec) { return WithAlpha(kBlack, 0.3); });
}

void DrawTitleBar(Canvas& bg, const Lettering& lettering)
{
    const Rect& t = kTitleStrip;
    bg.Fill(Box{t.left, t.top, t.right, t.bottom}, Full, [&](Vec p) {
        const Color c = Mix(kTitleTop, kTitleBottom, (p.y - t.top) / (t.bottom - t.top));
        const int row = static_cast<int>(p.y);
        const double streak = Noise1(p.x / 31.0 + 13.0 * Hash01(row, 1, 7), row, 29);
        return Shade(c, (streak - 0.5) * 0.08);
    });
    bg.Fill(Box{t.left, t.top, t.right, t.top + 1}, Full, [](Vec) { return WithAlpha(kWhite, 0.16); });
    bg.Fill(Box{t.left, t.bottom - 1, t.right, t.bottom}, Full, [](Vec) { return Rgb(14, 15, 17); });
    // The bar stands proud of the panel: a highlight on the panel's top edge, a short shadow below.
    bg.Fill(Box{t.left, t.bottom, t.right, t.bottom + 4}, Full,
            [&](Vec p) { return WithAlpha(kBlack, 0.16 * (1.0 - (p.y - t.bottom) / 4.0)); });

    DrawEmblem(bg, Vec{19.5, 17.0}, 8.5, kAccent);
    const TextStyle name{Face::Bold, 13.5, 1.1, Rgb(238, 240, 242)};
    DrawOnDark(lettering, bg, "FREE WAYFARER", name, 35.0, 0.0, 17.0, Align::Left);
    const TextStyle subtitle{Face::Bold, 7.0, 2.35, kAccentText};
    DrawOnDark(lettering, bg, "PHASE MODIFIER", subtitle, 35.5, 0.0, 27.5, Align::Left);
    const TextStyle maker{Face::Bold, 9.0, 2.2, Rgb(160, 167, 175)};
    DrawOnDark(lettering, bg, "TARNBEK", maker, 0.0, t.right - 11.0, 21.0, Align::Right);
}

// The knob sits in a shallow round recess, its scale cut into the panel around it.
void DrawKnobSurround(Canvas& bg, const Lettering& lettering)
{
    const Vec c = kKnobCentre;
    const Box box = Around(c, kMajorTickOuter + 2.0);
    // The recess floor, a shade darker than the panel.
    bg.Fill(
        box, [&](Vec p) { return Coverage(CircleDistance(p, c, kWellRadius)); },
        [&](Vec p) { return WithAlpha(kBlack, 0.05 + 0.05 * Clamp01((p.y - c.y) / kWellRadius + 0.5)); });
    // Its upper wall in shadow, its lower lip catching the light.
    bg.Fill(
        box,
        [&](Vec p) {
            return Coverage(CircleDistance(p, c, kWellRadius)) *
                   (1.0 - SoftCoverage(CircleDistance(p, c + Vec{0.0, 2.2}, kWellRadius - 0.5), 1.6));
        },
        [](Vec) { return WithAlpha(kBlack, 0.45); });
    StrokeShape(
        bg, box, [&](Vec p) { return CircleDistance(p, c, kWellRadius + 0.5); }, 0.5, WithAlpha(kBlack, 0.25));
    bg.Fill(
        box, [&](Vec p) { return Coverage(std::fabs(CircleDistance(p, c, kWellRadius + 1.3)) - 0.5); },
        [&](Vec p) {
            const double lower = Clamp01(-Dot((p - c) * (1.0 / kWellRadius), kLight2D));
            return WithAlpha(kWhite, 0.85 * lower);
        });

    // The scale: a tick every 15 degrees, longer at the ends and the centre and halfway between.
    for (int i = 0; i <= 20; ++i) {
        const double degrees = kKnobMinDegrees + 15.0 * i;
        const bool major = i % 5 == 0;
        const Vec d = Direction(degrees);
        const Vec a = c + d * kTickInner;
        const Vec b = c + d * (major ? kMajorTickOuter : kTickOuter);
        const double half = major ? 0.75 : 0.5;
        const Box tick = Around(c + d * ((kTickInner + kMajorTickOuter) / 2.0), 5.0);
        bg.FillShape(
            tick,
            [&](Vec p) {
                return SegmentDistance(p, a + Vec{0.0, 1.0}, b + Vec{0.0, 1.0}, half);
            },
            WithAlpha(kWhite, 0.7));
        bg.FillShape(
            tick, [&](Vec p) { return SegmentDistance(p, a, b, half); }, kEngraving);
    }

    const TextStyle caption{Face::Bold, 7.5, 1.6, kEngraving};
    DrawEngraved(lettering, bg, "WET MIX", caption, c.x - 40.0, c.x + 40.0, 55.0, Align::Centre);
}

// The two switch buttons left and right of the knob belong together: a bracket under the knob
// joins them to their caption.
void DrawSwitchBracket(Canvas& bg, const Lettering& lettering)
{
    const double leftX = kSwitchX + 21.5;
    const double rightX = kSwitchX + kSwitchWidth - 21.5;
    const double top = kSwitchY + kSwitchFrameHeight + 4.5;
    const double bottom = 178.5;
    const TextStyle caption{Face::Bold, 7.5, 1.6, kEngraving};
    const double gap = lettering.Measure("PAN", caption) / 2.0 + 6.0;
    const Vec segments[][2] = {
        {{leftX, top}, {leftX, bottom}},
        {{leftX, bottom}, {kKnobCentre.x - gap, bottom}},
        {{kKnobCentre.x + gap, bottom}, {rightX, bottom}},
        {{rightX, bottom}, {rightX, top}},
    };
    for (const auto& line : segments) {
        const Box box{
            static_cast<int>(std::min(line[0].x, line[1].x)) - 2, static_cast<int>(std::min(line[0].y, line[1].y)) - 2,
            static_cast<int>(std::max(line[0].x, line[1].x)) + 3, static_cast<int>(std::max(line[0].y, line[1].y)) + 3};
        bg.FillShape(
            box,
            [&](Vec p) {
                return SegmentDistance(p, line[0] + Vec{0.0, 1.0}, line[1] + Vec{0.0, 1.0}, 0.5);
            },
            WithAlpha(kWhite, 0.7));
        bg.FillShape(
            box, [&](Vec p) { return SegmentDistance(p, line[0], line[1], 0.5); }, kEngraving);
    }
    DrawEngraved(lettering, bg, "PAN", caption, kKnobCentre.x - 30.0, kKnobCentre.x + 30.0, bottom + 3.0,
                 Align::Centre);
}

Canvas DrawBackground(const Lettering& lettering)
{
    Canvas bg(kEditorWidth, kEditorHeight);
    DrawPanel(bg);
    DrawTitleBar(bg, lettering);
    DrawKnobSurround(bg, lettering);
    DrawSwitchBracket(bg, lettering);
    const double inset = 9.5;
    const double top = kTitleStrip.bottom + inset;
    const double bottom = kEditorHeight - inset;
    DrawScrew(bg, Vec{inset, top}, 12.0);
    DrawScrew(bg, Vec{kEditorWidth - inset, top}, 61.0);
    DrawScrew(bg, Vec{inset, bottom}, 33.0);
    DrawScrew(bg, Vec{kEditorWidth - inset, bottom}, 4.0);
    return bg;
}

// --- Switch --------------------------------------------------------------------------------------

// Where a switch button's lamp and legend go, from its ends.
constexpr double kLampInset = 6.5;
constexpr double kLegendLampSide = 10.5;
constexpr double kLegendOuterSide = 3.0;
constexpr double kLegendTracking = 0.5;

// One button of the switch: raised and dark when off, pressed in with its lamp and legend lit
// when on. The lamp sits at the button's outer end.
void DrawSwitchButton(Canvas& strip, const Lettering& lettering, double left, double top, double right, double bottom,
                      const std::string& legend, double em, bool lit, bool lampOnLeft)
{
    const double radius = 4.0;
    const Box box{static_cast<int>(left) - 2, static_cast<int>(top) - 2, static_cast<int>(right) + 3,
                  static_cast<int>(bottom) + 3};
    auto shape = [&](Vec p, double inset) {
        return RoundRectDistance(p, left + inset, top + inset, right - inset, bottom - inset, radius - inset);
    };
    // Shadow on the panel, deeper under a raised button.
    strip.Fill(
        box,
        [&](Vec p) {
            return SoftCoverage(shape(p - Vec{0.0, lit ? 0.6 : 1.2}, 0.0), 1.3);
        },
        [&](Vec) { return WithAlpha(kBlack, lit ? 0.35 : 0.5); });
    strip.FillShape(
        box, [&](Vec p) { return shape(p, 0.0); }, Rgb(16, 18, 20));
    const Color faceTop = lit ? Rgb(30, 33, 37) : Rgb(84, 90, 97);
    const Color faceBottom = lit ? Rgb(48, 52, 57) : Rgb(46, 50, 55);
    strip.Fill(
        box, [&](Vec p) { return Coverage(shape(p, 1.0)); },
        [&](Vec p) { return Mix(faceTop, faceBottom, Clamp01((p.y - top) / (bottom - top))); });
    // The face's top edge catches the light, less so when pressed in.
    strip.Fill(
        box,
        [&](Vec p) {
            return Coverage(shape(p, 1.0)) * (1.0 - Coverage(shape(p + Vec{0.0, -1.0}, 1.0)));
        },
        [&](Vec) { return WithAlpha(kWhite, lit ? 0.08 : 0.28); });

    const double cy = (top + bottom) / 2.0;
    const Vec lamp{lampOnLeft ? left + kLampInset : right - kLampInset, cy};
    if (lit) {
        strip.Fill(
            box, [&](Vec p) { return SoftCoverage(CircleDistance(p, lamp, 1.5), 3.5); },
            [](Vec) { return WithAlpha(kAccent, 0.55); });
        strip.FillShape(
            box, [&](Vec p) { return CircleDistance(p, lamp, 2.2); }, kAccent);
        strip.FillShape(
            box,
            [&](Vec p) {
                return CircleDistance(p, lamp - Vec{0.6, 0.6}, 0.8);
            },
            Rgb(255, 226, 180));
    } else {
        strip.FillShape(
            box, [&](Vec p) { return CircleDistance(p, lamp, 2.4); }, Rgb(20, 21, 23));
        strip.FillShape(
            box, [&](Vec p) { return CircleDistance(p, lamp, 1.9); }, Rgb(74, 52, 36));
    }

    const TextStyle style{Face::Bold, em, kLegendTracking, lit ? kAccentText : Rgb(168, 174, 181)};
    const double textLeft = lampOnLeft ? left + kLegendLampSide : left + kLegendOuterSide;
    const double textRight = lampOnLeft ? right - kLegendOuterSide : right - kLegendLampSide;
    const double baseline = std::round(cy + 3.0);
    if (lit) {
        TextStyle glow = style;
        glow.color = WithAlpha(kAccent, 0.22);
        for (const Vec off : {Vec{-0.5, 0.0}, Vec{0.5, 0.0}, Vec{0.0, -0.5}, Vec{0.0, 0.5}})
            lettering.DrawAligned(strip, legend, glow, textLeft + off.x, textRight + off.x, baseline + off.y,
                                  Align::Centre);
        lettering.DrawAligned(strip, legend, style, textLeft, textRight, baseline, Align::Centre);
    } else {
        DrawOnDark(lettering, strip, legend, style, textLeft, textRight, baseline, Align::Centre);
    }
}

Canvas DrawSwitchStrip(const Lettering& lettering)
{
    Canvas strip(kSwitchWidth, kSwitchFrameHeight * kSwitchFrames);
    // The knob covers the strip's middle; the buttons sit either side of it, clear of its scale.
    const double buttonWidth = 43.0;
    // Both legends in one size, the largest at which the longer one fits its button.
    double em = 8.0;
    const double room = buttonWidth - kLegendLampSide - kLegendOuterSide;
    while (em > 6.0 && lettering.Measure("RIGHT", TextStyle{Face::Bold, em, kLegendTracking, kWhite}) > room)
        em -= 0.25;
    for (int frame = 0; frame < kSwitchFrames; ++frame) {
        Canvas one(kSwitchWidth, kSwitchFrameHeight);
        const double top = 1.0;
        const double bottom = kSwitchFrameHeight - 2.0;
        DrawSwitchButton(one, lettering, 0.5, top, 0.5 + buttonWidth, bottom, "LEFT", em, frame == 0, true);
        DrawSwitchButton(one, lettering, kSwitchWidth - 0.5 - buttonWidth, top, kSwitchWidth - 0.5, bottom, "RIGHT", em,
                         frame == 1, false);
        strip.Draw(one, 0, frame * kSwitchFrameHeight);
    }
    return strip;
}

// --- Knob ----------------------------------------------------------------------------------------

// Everything of the knob that does not turn: shadow, skirt, the machined cap and its lighting.
Canvas DrawKnobBody()
{
    Canvas knob(kKnobSize, kKnobSize);
    const Vec c{kKnobSize / 2.0, kKnobSize / 2.0};
    const Box box = knob.Bounds();
    // A wide faint shadow and a tight darker one, both cast downward.
    knob.Fill(
        box,
        [&](Vec p) {
            return SoftCoverage(CircleDistance(p, c + Vec{0.0, 2.5}, kSkirtRadius), 4.0);
        },
        [](Vec) { return WithAlpha(kBlack, 0.28); });
    knob.Fill(
        box,
        [&](Vec p) {
            return SoftCoverage(CircleDistance(p, c + Vec{0.0, 1.2}, kSkirtRadius), 1.4);
        },
        [](Vec) { return WithAlpha(kBlack, 0.45); });

    // The skirt: a rounded shoulder whose slope faces the light at the top.
    knob.Fill(
        box, [&](Vec p) { return Coverage(CircleDistance(p, c, kSkirtRadius)); },
        [&](Vec p) {
            const Vec d = p - c;
            const double r = Length(d);
            const Vec n = r > 0.0 ? d * (1.0 / r) : Vec{};
            const double slope = SmoothStep(kCapRadius, kSkirtRadius, r);
            const double facing = Dot(n, kLight2D) * slope;
            const double base = 0.5 - 0.5 * (d.y / kSkirtRadius);
            return Mix(Rgb(12, 13, 15), Rgb(100, 107, 115), Clamp01(base * 0.5 + 0.65 * facing + 0.1));
        });
    // A bright rim where the shoulder turns toward the light.
    knob.Fill(
        box, [&](Vec p) { return Coverage(std::fabs(CircleDistance(p, c, kSkirtRadius - 1.0)) - 0.6); },
        [&](Vec p) {
            const double facing = Clamp01(Dot((p - c) * (1.0 / kSkirtRadius), kLight2D));
            return WithAlpha(kWhite, 0.45 * facing * facing);
        });

    // The chamfer between skirt and cap: polished metal, bright on the lit side.
    const double chamfer = kCapRadius + 1.6;
    knob.Fill(
        box, [&](Vec p) { return Coverage(CircleDistance(p, c, chamfer)); },
        [&](Vec p) {
            const double facing = Dot((p - c) * (1.0 / chamfer), kLight2D);
            return Mix(Rgb(40, 43, 47), Rgb(226, 230, 235), Clamp01(0.5 + 0.65 * facing));
        });

    // The cap: dark, turned on a lathe. Concentric grooves shift its brightness ring by ring, and
    // the grooves throw the light back in two opposite wedges, across the light's direction.
    knob.Fill(
        box, [&](Vec p) { return Coverage(CircleDistance(p, c, kCapRadius)); },
        [&](Vec p) {
            const Vec d = p - c;
            const double r = Length(d);
            const double ring = Hash01(static_cast<int>(r * 2.5), 0, 41) - 0.5;
            const double theta = std::atan2(d.x, -d.y);
            const double across = std::cos(2.0 * (theta + kPi / 4.0 + 0.18));
            const double wedge = std::pow(Clamp01(across), 3.0);
            const double fade = SmoothStep(0.0, 4.0, r);
            Color col = Mix(Rgb(34, 37, 41), Rgb(22, 24, 27), Clamp01(0.5 + d.y / (2.0 * kCapRadius)));
            col = Shade(col, 0.33 * wedge * fade + 0.05 * ring);
            return col;
        });
    // A soft dome of light across the cap's upper half.
    knob.Fill(
        box,
        [&](Vec p) {
            return Coverage(CircleDistance(p, c, kCapRadius)) *
                   (1.0 - SmoothStep(0.0, kCapRadius * 1.1, Length(p - (c + Vec{-4.0, -11.0}))));
        },
        [](Vec) { return WithAlpha(kWhite, 0.12); });
    return knob;
}

// The pointer: an accent line inlaid in the cap from near the centre to its edge, in a dark
// groove so it stands out from the lit metal too.
void DrawKnobPointer(Canvas& frame, double degrees)
{
    const Vec c{kKnobSize / 2.0, kKnobSize / 2.0};
    const Vec d = Direction(degrees);
    const Vec inner = c + d * 8.0;
    const Vec outer = c + d * (kCapRadius - 3.0);
    const Box box = frame.Bounds();
    frame.FillShape(
        box, [&](Vec p) { return SegmentDistance(p, inner, outer, 2.3); }, WithAlpha(kBlack, 0.75));
    frame.FillShape(
        box, [&](Vec p) { return SegmentDistance(p, inner, outer, 1.4); }, kAccent);
    // A small lamp-like mark on the shoulder, on the same line, readable from afar.
    const Vec dot = c + d * (kSkirtRadius - 3.4);
    frame.FillShape(
        box, [&](Vec p) { return CircleDistance(p, dot, 1.6); }, kAccent);
}

Canvas DrawKnobStrip()
{
    Canvas strip(kKnobSize, kKnobSize * kKnobFrames);
    const Canvas body = DrawKnobBody();
    for (int i = 0; i < kKnobFrames; ++i) {
        Canvas frame(kKnobSize, kKnobSize);
        frame.Draw(body, 0, 0);
        DrawKnobPointer(frame, KnobFrameDegrees(i));
        strip.Draw(frame, 0, i * kKnobSize);
    }
    return strip;
}

// --- Splash --------------------------------------------------------------------------------------

Canvas DrawSplash(const Lettering& lettering)
{
    Canvas splash(kSplashWidth, kSplashHeight);
    const double w = kSplashWidth;
    const double h = kSplashHeight;
    splash.Fill(splash.Bounds(), Full, [&](Vec p) {
        Color c = Mix(Rgb(50, 55, 61), Rgb(24, 26, 30), p.y / h);
        const int row = static_cast<int>(p.y);
        c = Shade(c, (Noise1(p.x / 29.0 + 11.0 * Hash01(row, 2, 3), row, 17) - 0.5) * 0.08);
        const double glow = std::exp(-std::pow((p.x - 40.0) / 60.0, 2.0) - std::pow((p.y - 40.0) / 50.0, 2.0));
        return Mix(c, Rgb(92, 62, 38), 0.22 * glow);
    });
    // A frame: dark outer line, light bevel inside it.
    const Box all = splash.Bounds();
    StrokeShape(
        splash, all, [&](Vec p) { return RoundRectDistance(p, 0.0, 0.0, w, h, 0.0); }, 1.0, Rgb(10, 11, 12));
    StrokeShape(
        splash, all, [&](Vec p) { return RoundRectDistance(p, 1.5, 1.5, w - 1.5, h - 1.5, 0.0); }, 0.5,
        WithAlpha(kWhite, 0.16));
    StrokeShape(
        splash, all, [&](Vec p) { return RoundRectDistance(p, 5.5, 5.5, w - 5.5, h - 5.5, 3.0); }, 0.5,
        WithAlpha(kAccent, 0.45));

    DrawEmblem(splash, Vec{38.0, 38.0}, 18.0, kAccent);

    const double textLeft = 68.0;
    const TextStyle name{Face::Bold, 16.0, 0.4, Rgb(240, 242, 244)};
    DrawOnDark(lettering, splash, "Free Wayfarer", name, textLeft, 0.0, 31.0, Align::Left);
    const TextStyle subtitle{Face::Bold, 7.5, 2.3, kAccentText};
    DrawOnDark(lettering, splash, "PHASE MODIFIER", subtitle, textLeft + 0.5, 0.0, 44.0, Align::Left);
    splash.Fill(Box{static_cast<int>(textLeft), 51, static_cast<int>(w) - 14, 52}, Full,
                [](Vec) { return WithAlpha(kWhite, 0.18); });
    const TextStyle maker{Face::Bold, 9.0, 0.6, Rgb(200, 205, 211)};
    DrawOnDark(lettering, splash, "Tarnbek", maker, textLeft, 0.0, 64.0, Align::Left);
    const TextStyle version{Face::Regular, 9.0, 0.4, Rgb(200, 205, 211)};
    DrawOnDark(lettering, splash, kVersionText, version, 0.0, w - 14.0, 64.0, Align::Right);
    const TextStyle hint{Face::Regular, 7.5, 0.5, Rgb(140, 147, 155)};
    DrawOnDark(lettering, splash, "Click to close", hint, 0.0, w - 14.0, 79.0, Align::Right);
    return splash;
}

// --- Preview -------------------------------------------------------------------------------------

void ToBitmap(const Canvas& canvas, LICE_MemBitmap* bitmap)
{
    const std::vector<uint8_t> rgba = canvas.ToRgba8();
    LICE_ColorWord* px = bitmap->Pixels();
    for (size_t i = 0; i < rgba.size() / 4; ++i)
        px[i] = LICE_RGBA(rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], rgba[i * 4 + 3]);
}

Canvas FromBitmap(const LICE_MemBitmap& bitmap)
{
    Canvas canvas(bitmap.Width(), bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            const LICE_ColorWord w = bitmap.Pixels()[static_cast<size_t>(y) * bitmap.RowSpan() + x];
            canvas.Blend(x, y, Rgb(LICE_GETR(w), LICE_GETG(w), LICE_GETB(w)), 1.0);
        }
    }
    return canvas;
}

} // namespace

Artwork DrawArtwork(const Lettering& lettering)
{
    Artwork art;
    art.background = DrawBackground(lettering);
    art.splash = DrawSplash(lettering);
    art.switchStrip = DrawSwitchStrip(lettering);
    art.knobStrip = DrawKnobStrip();
    return art;
}

Canvas DrawPreview(const Artwork& artwork, const Lettering& lettering, int switchFrame, int knobFrame)
{
    // Composite with the raster library and the editor's blend modes: the background copied, the
    // controls copied through their alpha.
    LICE_MemBitmap background(kEditorWidth, kEditorHeight);
    LICE_MemBitmap switches(kSwitchWidth, kSwitchFrameHeight * kSwitchFrames);
    LICE_MemBitmap knobs(kKnobSize, kKnobSize * kKnobFrames);
    LICE_MemBitmap panel(kEditorWidth, kEditorHeight);
    ToBitmap(artwork.background, &background);
    ToBitmap(artwork.switchStrip, &switches);
    ToBitmap(artwork.knobStrip, &knobs);
    const int alphaCopy = LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA;
    LICE_BlitRect(&panel, &background, 0, 0, nullptr, 1.0f, LICE_MODE_COPY);
    LICE_BlitArea(&panel, &switches, kSwitchX, kSwitchY, 0, switchFrame * kSwitchFrameHeight, kSwitchWidth,
                  kSwitchFrameHeight, 1.0f, alphaCopy);
    LICE_BlitArea(&panel, &knobs, kKnobX, kKnobY, 0, knobFrame * kKnobSize, kKnobSize, kKnobSize, 1.0f, alphaCopy);
    Canvas preview = FromBitmap(panel);

    // The editor's texts: a cell of the style's height from the rectangle's top, baseline at the
    // ascender.
    auto letter = [&](const char* text, const Rect& r, Face face, int cellHeight, Color color, Align align) {
        const double em = lettering.EmForCellHeight(face, cellHeight);
        const TextStyle style{face, em, 0.0, color};
        const double baseline = r.top + std::round(lettering.Ascender(face, em));
        lettering.DrawAligned(preview, text, style, r.left, r.right, baseline, align);
    };
    letter("L", kSideLabelRect, Face::Regular, kLabelCellHeight, kLabelColor, Align::Left);
    letter("C", kCentreLabelRect, Face::Regular, kLabelCellHeight, kLabelColor, Align::Centre);
    letter("R", kSideLabelRect, Face::Regular, kLabelCellHeight, kLabelColor, Align::Right);
    letter(kVersionText, kVersionRect, Face::Bold, kVersionCellHeight, kVersionColor, Align::Left);
    return preview;
}

} // namespace art
