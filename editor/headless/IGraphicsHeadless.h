#pragma once
// A window layer without a window system. It stands where the Win32 window layer stands, draws
// into the same draw bitmap, and lets code play the window system's part: open and close the
// "window", deliver pointer events, fire the redraw timer, and read the draw bitmap back. Native
// tests, the command-line host and builds for platforms without a window layer use it.
//
// Images come from the embedded resource table of `module` (see raster/LiceEmbedded.h).
// DrawTextInRect records every request, then draws the text with FreeType where the build has it
// (WAYFARER_HEADLESS_FREETYPE; fonts, layout and colour as HeadlessText.h describes) and otherwise
// only succeeds, so controls behave as with a real window layer. Prompts are recorded for the
// caller to answer; paths are empty and dialogs decline.
//
// Like the window it replaces, it runs on one thread: the one that delivers events and ticks.

#include "editor/IGraphicsLice.h"
#include "raster/LicePlatform.h"

#include <string>
#include <vector>

class IGraphicsHeadless : public IGraphicsLice {
public:
    struct TextRequest {
        std::string text;
        IRect rect;
    };
    struct Prompt {
        IControl* control;
        IParam* param;
    };

    IGraphicsHeadless(IParamOwner* owner, int width, int height, int fps = 0, LICE_Module module = nullptr);

    // A host is offered this editor only when its maker says so (a tool that plays the host and
    // its window system at once); a plug-in binary never offers a headless editor.
    void OfferToHosts(bool offer) { m_offeredToHosts = offer; }
    bool CanOpenInHost() const override { return m_offeredToHosts; }

    // ---- The window -------------------------------------------------------------------------
    // Opens the stand-in window (the parent is not used) and marks every control dirty, so the
    // first tick paints the whole editor. Returns a non-null token, the same while it stays open.
    void* OpenWindow(void* parentWindow) override;
    void CloseWindow() override;
    void* GetWindow() override;

    // ---- Driving it -------------------------------------------------------------------------
    // One redraw-timer tick: when the window is open and a control is dirty, repaints the union of
    // the dirty rectangles. Returns whether anything was drawn.
    bool Tick();
    // A paint request from the "window system": draws `rect` whatever is dirty.
    bool Paint(const IRect& rect) { return Draw(rect); }
    bool PaintAll() { return Draw(IRect(0, 0, Width(), Height())); }
    // A pointer move as the window would report it: with a button held while a control holds the
    // pointer it is a drag, otherwise hover.
    void MouseMove(int x, int y, const IMouseMod& mod);
    // A click: button down then up at the same point.
    void Click(int x, int y, const IMouseMod& mod = IMouseMod(true));

    // ---- Reading back ---------------------------------------------------------------------------
    // The draw bitmap's pixel at (x, y) as 0xAARRGGBB; 0 outside it.
    LICE_ColorWord PixelAt(int x, int y);
    const IRect& LastPresented() const { return m_lastPresented; }
    int PresentCount() const { return m_presentCount; }
    const std::vector<TextRequest>& TextRequests() const { return m_texts; }
    void ClearTextRequests() { m_texts.clear(); }
    // The prompts not yet taken, oldest first.
    const std::vector<Prompt>& Prompts() const { return m_prompts; }
    // Removes and returns the oldest prompt; {null, null} when none waits.
    Prompt TakePrompt();

    // ---- Platform operations --------------------------------------------------------------------
    bool PresentToScreen(const IRect& rect) override;
    bool DrawTextInRect(const IText& text, const char* str, const IRect& rect) override;
    void PromptUserInput(IControl* control, IParam* param) override;
    void HostPath(GrowString* path) override;
    void PluginPath(GrowString* path) override;
    void PromptForFile(GrowString* file, int action, const char* directory, const char* extensions) override;
    bool PromptForColor(IColor* color, const char* prompt) override;
    bool OpenURL(const char* url, const char* title, const char* confirmMsg, const char* errMsg) override;

private:
    bool m_open = false;
    bool m_offeredToHosts = false;
    char m_windowToken = 0; // its address is the window handle handed out
    IRect m_lastPresented;
    int m_presentCount = 0;
    std::vector<TextRequest> m_texts;
    std::vector<Prompt> m_prompts;
};
