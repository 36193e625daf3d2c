#pragma once
// Setting a plug-in's parameters from values a user typed.
//
// VST 2.4 exchanges only normalised values (0..1) and display texts; a plug-in never says what
// plain range a parameter has. So the range is read off the texts the plug-in shows:
//
//  - Numeric parameters. The texts at normalised 0 and 1 give the ends, but only to the shown
//    precision ("-0.75" for -0.7488...). Bisection then finds where the text first changes
//    after 0 ("-0.75" to "-0.74") and last changes before 1; there the plain value is halfway
//    between the two texts, and those two points fix the line to float precision. A plain value
//    maps onto that line, and the plug-in's own text for the result must show it.
//  - Texts ("Left", "Right"). A scan of the range lists them in order; a value is one of the
//    texts (in any case) or its position in that list. The normalised value that gets set is
//    checked by reading the text back.
//
// Texts at arbitrary normalised values come from the Cockos extension (effVendorSpecific with
// index effGetParamDisplay), or, for a plug-in without it, by setting the value, reading the
// text and putting the old value back.
//
// The line is found to within a float step of the normalised value, the precision at which a
// host can set a parameter at all, so a plain value lands on the same float that an exact
// mapping would give (the ends and the middle of this effect's range exactly).
#include "VstHost.h"

#include <map>
#include <string>
#include <vector>

namespace hosttool {

struct ParamSetting {
    std::string name;
    std::string value;
};

// Splits "NAME=VALUE" at the first '='; false when there is none or the name is empty.
bool ParseParamSetting(const std::string& text, ParamSetting& setting);

// A whole string as a finite number, surrounding blanks allowed.
bool ParseNumber(const std::string& text, double& value);

class ParameterMapper {
public:
    explicit ParameterMapper(vsthost::Plugin& plugin) : m_plugin(plugin) {}

    // The parameter's index, exact name first, then ignoring case; -1 with an error that lists
    // the names when there is none.
    int Find(const std::string& name, std::string& error);
    // Sets one parameter as the user asked. `normalized` reads numbers as normalised values.
    bool Apply(const ParamSetting& setting, bool normalized, std::string& error);

    // The plug-in's text for parameter `index` at normalised `value`.
    std::string DisplayAt(int index, float value);

    struct NumericRange {
        bool numeric = false;          // false: the plug-in shows texts that are no numbers
        double low = 0.0;              // plain value at normalised 0
        double high = 0.0;             // plain value at normalised 1
        double halfStep = 0.0;         // half the shown precision: what a shown text may be off
        std::string lowText, highText; // as the plug-in shows the ends
    };
    const NumericRange& RangeOf(int index);
    // The distinct texts across the range, in order, each with the normalised values that show it.
    struct Shown {
        std::string text;
        float first;
        float last;
    };
    const std::vector<Shown>& TextsOf(int index);

private:
    enum class Probe { Unknown, Extension, SetAndRestore };

    bool ApplyNumber(int index, double plain, std::string& error);
    // Sets the parameter to a value that shows `text`; false when no value shows it.
    bool ApplyText(int index, const std::string& text, std::string& error);
    std::string Describe(int index);

    vsthost::Plugin& m_plugin;
    Probe m_probe = Probe::Unknown;
    std::map<int, NumericRange> m_ranges;
    std::map<int, std::vector<Shown>> m_texts;
};

} // namespace hosttool
