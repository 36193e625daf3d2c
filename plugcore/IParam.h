#pragma once
// One automatable parameter: its plain value in its own units and range, the normalised 0..1
// value that hosts and controls exchange, and the texts a host or the editor shows for it.

#include "Containers.h"

// Texts in the parameter and preset records are fixed arrays, terminator included.
const int MAX_PARAM_NAME_LEN = 32;
const int MAX_PARAM_LABEL_LEN = 32;
const int MAX_PARAM_DISPLAY_LEN = 32;

// Converts toward zero without undefined behaviour: NaN gives 0 and anything beyond the int
// range gives the nearest end of it.
int TruncToInt(double value);

class IParam {
public:
    enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

    struct DisplayText {
        int value;
        char text[MAX_PARAM_DISPLAY_LEN];
    };

    IParam() = default;

    // A continuous parameter unless InitEnum already made it an enumeration. The range always spans
    // at least one step, and the step sets how many decimals the value text shows (at most 6).
    void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "");
    // An enumeration of `count` integer values 0..count-1.
    void InitEnum(const char* name, int defaultVal, int count);

    void SetDisplayText(int value, const char* text);
    // The first text added for `value`, or "" when there is none.
    const char* GetDisplayText(int value) const;
    // Finds the value whose text equals `text` exactly; false leaves `value` untouched.
    bool MapDisplayText(const char* text, int* value) const;
    int NumDisplayTexts() const { return m_displayTexts.GetSize(); }

    EParamType Type() const { return m_type; }
    double Value() const { return m_value; }
    double GetMin() const { return m_min; }
    double GetMax() const { return m_max; }
    double GetStep() const { return m_step; }
    double GetShape() const { return m_shape; }
    int GetPrecision() const { return m_displayPrecision; }
    // Whether the value text shows the negated value; typed values are read back the same way.
    bool NegateDisplay() const { return m_negateDisplay; }

    // Clamps into the range. NaN is missing data and reads as 0.0 before the clamp.
    void Set(double value) { m_value = Constrain(value); }
    // The value Set would store for `value`.
    double Constrain(double value) const;
    // From a host or control value. Snaps to the step unless continuous; clamps only above.
    // NaN is ignored.
    void SetNormalizedValue(double normalized);
    double GetNormalizedValue() const { return GetNormalizedValue(m_value); }
    double GetNormalizedValue(double plain) const;

    // The value read as decibels; nothing in the effect depends on it.
    double DBToAmp() const;

    const char* GetNameForHost() const { return m_name; }
    // Empty while the current value has a display text of its own.
    const char* GetLabelForHost() const;
    void GetDisplayForHost(char* out) const { GetDisplayForHost(m_value, false, out); }
    // Writes at most MAX_PARAM_DISPLAY_LEN bytes, terminator included.
    void GetDisplayForHost(double value, bool normalized, char* out) const;

private:
    // The plain value for a normalised one: snapped to the step unless continuous, at most the
    // maximum; NaN when there is none.
    double FromNormalized(double normalized) const;

    EParamType m_type = kTypeNone;
    double m_value = 0.0;
    double m_min = 0.0;
    double m_max = 1.0;
    double m_step = 1.0;
    double m_shape = 1.0;
    int m_displayPrecision = 0;
    char m_name[MAX_PARAM_NAME_LEN] = "";
    char m_label[MAX_PARAM_LABEL_LEN] = "";
    bool m_negateDisplay = false;
    TypedBuffer<DisplayText> m_displayTexts;
};

// Copies at most size-1 characters and always terminates (size > 0).
void CopyText(char* dest, const char* src, int size);
