// The LV2 user interface in a real X11 window (run under Xvfb by ctest), loaded by path as a host
// loads it, and driven with the server's fake input: it sits in the host's window, follows the
// port values the host sends, writes the ports as a user drags and clicks, and tells the host when
// a drag grabs and lets go of a control.
#include <gtest/gtest.h>
#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

// Last: Xlib's macros (None, True, Bool) would otherwise break GoogleTest's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

const char* const kPluginUri = "urn:tarnbek:free-wayfarer";
const uint32_t kPanPort = 4, kWetMixPort = 5;

// What the host heard, in order.
struct Heard {
    enum Kind { kWrite, kGrab, kRelease, kResize };
    Kind kind;
    uint32_t port;
    float value;
};

struct Host {
    std::vector<Heard> heard;

    static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        float value = 0.0f;
        if (format == 0 && size == sizeof value) std::memcpy(&value, buffer, sizeof value);
        static_cast<Host*>(controller)->heard.push_back({Heard::kWrite, port, value});
    }
    static void Touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed)
    {
        static_cast<Host*>(handle)->heard.push_back({grabbed ? Heard::kGrab : Heard::kRelease, port, 0.0f});
    }
    static int Resize(LV2UI_Feature_Handle handle, int width, int height)
    {
        static_cast<Host*>(handle)->heard.push_back(
            {Heard::kResize, static_cast<uint32_t>(width), static_cast<float>(height)});
        return 0;
    }
};

class Lv2Ui : public testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        if (!display) GTEST_SKIP() << "no X display; ctest runs this under xvfb-run";
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor)) << "the server has no XTest";
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);

        library = dlopen(WAYFARER_LV2_UI_BINARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        using Entry = const LV2UI_Descriptor* (*)(uint32_t);
        auto entry = reinterpret_cast<Entry>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
    }

    void TearDown() override
    {
        if (ui) descriptor->cleanup(ui);
        if (library) dlclose(library);
        if (display) {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    // Instantiates with the features a full host offers (parent, resize, touch) unless told not to.
    LV2UI_Handle Instantiate(bool withParent = true, bool withTouch = true)
    {
        parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(parent)};
        resize = {&host, Host::Resize};
        touch = {&host, Host::Touch};
        resizeFeature = {LV2_UI__resize, &resize};
        touchFeature = {LV2_UI__touch, &touch};
        std::vector<const LV2_Feature*> features = {&resizeFeature};
        if (withParent) features.push_back(&parentFeature);
        if (withTouch) features.push_back(&touchFeature);
        features.push_back(nullptr);
        widget = nullptr;
        return descriptor->instantiate(descriptor, kPluginUri, WAYFARER_LV2_BUNDLE "/", Host::Write, &host, &widget,
                                       features.data());
    }

    std::vector<Window> ChildrenOfParent()
    {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        std::vector<Window> result(children, children + count);
        if (children) XFree(children);
        return result;
    }

    // Lets the UI read what the server did, as a host's idle calls do.
    void Idle(int times = 5)
    {
        XSync(display, False);
        for (int i = 0; i < times; ++i) ASSERT_EQ(idle->idle(ui), 0);
    }

    void PortEvent(uint32_t port, float value)
    {
        descriptor->port_event(ui, port, sizeof value, 0, &value);
        Idle();
    }

    void Move(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, 0);
        Idle();
    }
    void Button(bool press)
    {
        XTestFakeButtonEvent(display, 1, press ? True : False, 0);
        Idle();
    }

    std::vector<Heard> HeardFor(uint32_t port) const
    {
        std::vector<Heard> result;
        for (const Heard& h : host.heard)
            if (h.kind != Heard::kResize && h.port == port) result.push_back(h);
        return result;
    }

    Display* display = nullptr;
    Window parent = 0;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    Host host;
    LV2UI_Resize resize{};
    LV2UI_Touch touch{};
    LV2_Feature parentFeature{}, resizeFeature{}, touchFeature{};
};

TEST_F(Lv2Ui, OpensInTheHostsWindowAtTheEditorsSize)
{
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    ASSERT_NE(widget, nullptr);
    const auto children = ChildrenOfParent();
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0], static_cast<Window>(reinterpret_cast<uintptr_t>(widget)));
    ASSERT_FALSE(host.heard.empty());
    EXPECT_EQ(host.heard[0].kind, Heard::kResize);
    EXPECT_EQ(host.heard[0].port, 275u);
    EXPECT_EQ(host.heard[0].value, 212.0f);
    Idle();

    // Taken down with the UI.
    descriptor->cleanup(ui);
    ui = nullptr;
    XSync(display, False);
    EXPECT_TRUE(ChildrenOfParent().empty());
}

TEST_F(Lv2Ui, WithoutAParentOrForAnotherPluginThereIsNoUi)
{
    EXPECT_EQ(Instantiate(false), nullptr);
    EXPECT_TRUE(ChildrenOfParent().empty());
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, "urn:other", "", Host::Write, &host, &widget, none), nullptr);
}

TEST_F(Lv2Ui, AKnobDragIsAGestureFromWhereTheHostPutTheValue)
{
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    Idle();
    // The host's value: the drag must start from it, not from the default.
    PortEvent(kWetMixPort, 0.5f);
    Move(137, 123);
    Button(true);
    Move(137, 118);
    Move(137, 110);
    Button(false);

    const auto heard = HeardFor(kWetMixPort);
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front().kind, Heard::kGrab);
    EXPECT_EQ(heard.back().kind, Heard::kRelease);
    float last = 0.5f;
    for (size_t i = 1; i + 1 < heard.size(); ++i) {
        ASSERT_EQ(heard[i].kind, Heard::kWrite) << i;
        // Upward turns Wet Mix up from 0.5, within its range.
        EXPECT_GE(heard[i].value, last) << i;
        EXPECT_LE(heard[i].value, 0.748811356849042f) << i;
        last = heard[i].value;
    }
    EXPECT_GT(last, 0.5f);
    EXPECT_TRUE(HeardFor(kPanPort).empty());
}

TEST_F(Lv2Ui, WithoutTouchADragStillWritesThePort)
{
    ui = Instantiate(true, false);
    ASSERT_NE(ui, nullptr);
    Idle();
    Move(137, 123);
    Button(true);
    Move(137, 100);
    Button(false);
    const auto heard = HeardFor(kWetMixPort);
    ASSERT_FALSE(heard.empty());
    for (const Heard& h : heard) EXPECT_EQ(h.kind, Heard::kWrite);
    EXPECT_GT(heard.back().value, 0.0f);
}

TEST_F(Lv2Ui, TheSwitchFlipsThePanTheHostSet)
{
    const struct {
        float hostValue;
        float written;
    } cases[] = {{1.0f, 0.0f}, {0.0f, 1.0f}};
    for (const auto& c : cases) {
        ui = Instantiate();
        ASSERT_NE(ui, nullptr);
        host.heard.clear();
        Idle();
        PortEvent(kPanPort, c.hostValue);
        Move(75, 119);
        Button(true);
        Button(false);
        const auto heard = HeardFor(kPanPort);
        std::vector<float> written;
        for (const Heard& h : heard)
            if (h.kind == Heard::kWrite) written.push_back(h.value);
        ASSERT_FALSE(written.empty()) << "host value " << c.hostValue;
        EXPECT_EQ(written.back(), c.written) << "host value " << c.hostValue;
        descriptor->cleanup(ui);
        ui = nullptr;
    }
}

TEST_F(Lv2Ui, HostileEventsAreIgnored)
{
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const double wide = 0.25;
    descriptor->port_event(ui, kWetMixPort, sizeof nan, 0, &nan);
    descriptor->port_event(ui, kWetMixPort, sizeof wide, 0, &wide);
    descriptor->port_event(ui, 0, sizeof nan, 0, &nan);
    descriptor->port_event(ui, 99, sizeof nan, 0, &nan);
    descriptor->port_event(ui, kPanPort, sizeof nan, 0, nullptr);
    Idle();
    EXPECT_TRUE(HeardFor(kWetMixPort).empty());
}

TEST_F(Lv2Ui, TellsTheHostWhenItsWindowIsGone)
{
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    Idle();
    XDestroyWindow(display, parent);
    XSync(display, False);
    int closed = 0;
    for (int i = 0; i < 50 && !closed; ++i) closed = idle->idle(ui);
    EXPECT_NE(closed, 0);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
}

} // namespace
