#pragma once
// What an editor needs of whatever owns the parameters, and how it hears of their changes.
//
// The owner is the plug-in itself for an editor that lives in the plug-in instance, or a stand-in
// that reaches the real parameters some other way (a plug-in format whose user interface runs
// apart from the processing, and can only write values to it). The editor knows nothing else.

class IParam;

// Told of every change of a parameter's value, on the thread that made it: the host's automation
// or audio thread, a preset load, the editor's own thread. An implementation must not block, lock
// or allocate; an editor notes the value and shows it on its own thread.
class IParamListener {
public:
    virtual void OnParamChange(int paramIdx, double normalizedValue) = 0;

protected:
    ~IParamListener() = default;
};

class IParamOwner {
public:
    virtual int NParams() const = 0;
    // The parameter's description: name, range and display texts, which never change once the
    // owner is built. Its value belongs to the owner's thread of control; editors read the values
    // their listener is handed instead.
    virtual IParam* GetParam(int paramIdx) const = 0;

    // A user's edit gesture: begin, then any number of changes, then end, in that order.
    virtual void BeginParamEdit(int paramIdx) = 0;
    // The editor's change of a value (normalised): the host hears of it, the parameter takes it
    // and the effect reacts. The editor that made it is not told again.
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue) = 0;
    virtual void EndParamEdit(int paramIdx) = 0;

    // The editor's size has changed.
    virtual void UpdateEditorSize(int width, int height) = 0;

protected:
    ~IParamOwner() = default;
};
