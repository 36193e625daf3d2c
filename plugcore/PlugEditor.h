#pragma once
// The plug-in's view of its editor: enough to own it, show it in a host's window, and keep it
// told of parameter changes. The editor framework implements it; the plug-in core and the format
// bindings know nothing more of editors than this.

#include "ParamOwner.h"

class IPlugEditor : public IParamListener {
public:
    virtual ~IPlugEditor() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Whether this editor can put itself in a host's window. An editor without a window system
    // (tests, the command-line host, a machine with no display) is not offered to hosts.
    virtual bool CanOpenInHost() const = 0;
    // In the host's window `parent`; null when the window could not be made.
    virtual void* OpenWindow(void* parent) = 0;
    // Ends any edit gesture under way (the host hears its end) and takes the window down.
    virtual void CloseWindow() = 0;
    virtual void PrepareDrawing() = 0;
    // Shows the changes it was told of. Only on the editor's own thread, or before it has one.
    virtual void ShowParamChanges() = 0;
    // The host's idle call for its editor, on the editor's thread.
    virtual void Idle() {}
    // Held around the plug-in's own changes to the editor's controls (as the host opens or closes
    // it), for window layers with a thread of their own that draws them.
    virtual void LockControls() {}
    virtual void UnlockControls() {}
};

class EditorControlsLock {
public:
    explicit EditorControlsLock(IPlugEditor* editor) : m_editor(editor)
    {
        if (m_editor) m_editor->LockControls();
    }
    ~EditorControlsLock()
    {
        if (m_editor) m_editor->UnlockControls();
    }
    EditorControlsLock(const EditorControlsLock&) = delete;
    EditorControlsLock& operator=(const EditorControlsLock&) = delete;

private:
    IPlugEditor* m_editor;
};
