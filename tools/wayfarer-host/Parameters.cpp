#include "Parameters.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace hosttool {

namespace {

// The Cockos extension's answer when it filled in the text.
constexpr VstIntPtr kExtensionAnswered = 0xBEEF;
// Points scanned for a parameter's texts: every 1/256 of the range, both ends included.
constexpr int kScanSteps = 256;

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The number a display text starts with ("-0.75", "12.5 dB"), with the count of decimals shown.
bool ParseLeadingNumber(const std::string& text, double& value, int& decimals)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return false;
    const std::string shown(begin, static_cast<std::size_t>(end - begin));
    const std::size_t point = shown.find('.');
    decimals = 0;
    if (point != std::string::npos) {
        for (std::size_t i = point + 1; i < shown.size() && std::isdigit(static_cast<unsigned char>(shown[i])); ++i) {
            ++decimals;
        }
    }
    return true;
}

bool ShownNumber(const std::string& text, double& value)
{
    int decimals = 0;
    return ParseLeadingNumber(text, value, decimals);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

} // namespace

bool ParseParamSetting(const std::string& text, ParamSetting& setting)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    setting.name = text.substr(0, equals);
    setting.value = text.substr(equals + 1);
    return true;
}

bool ParseNumber(const std::string& text, double& value)
{
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) return false;
    char* end = nullptr;
    value = std::strtod(trimmed.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

int ParameterMapper::Find(const std::string& name, std::string& error)
{
    const VstInt32 count = m_plugin.Effect()->numParams;
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (VstInt32 i = 0; i < count; ++i) names.push_back(m_plugin.ParamName(i));
    for (VstInt32 i = 0; i < count; ++i) {
        if (names[static_cast<std::size_t>(i)] == name) return i;
    }
    for (VstInt32 i = 0; i < count; ++i) {
        if (EqualsIgnoringCase(names[static_cast<std::size_t>(i)], name)) return i;
    }
    error = "unknown parameter " + Quoted(name) + "; ";
    if (names.empty()) {
        error += "the plug-in has none";
        return -1;
    }
    error += "the plug-in has ";
    for (std::size_t i = 0; i < names.size(); ++i) error += (i > 0 ? ", " : "") + Quoted(names[i]);
    return -1;
}

std::string ParameterMapper::DisplayAt(int index, float value)
{
    char text[256] = {};
    if (m_probe != Probe::SetAndRestore) {
        const VstIntPtr answer = m_plugin.Dispatch(effVendorSpecific, effGetParamDisplay, index, text, value);
        if (answer == kExtensionAnswered) {
            m_probe = Probe::Extension;
            return std::string(text, strnlen(text, sizeof text));
        }
        m_probe = Probe::SetAndRestore;
    }
    const float saved = m_plugin.GetParameter(index);
    m_plugin.SetParameter(index, value);
    std::string shown = m_plugin.ParamDisplay(index);
    m_plugin.SetParameter(index, saved);
    return shown;
}

const ParameterMapper::NumericRange& ParameterMapper::RangeOf(int index)
{
    auto found = m_ranges.find(index);
    if (found != m_ranges.end()) return found->second;
    NumericRange& range = m_ranges[index];
    range.lowText = DisplayAt(index, 0.0f);
    range.highText = DisplayAt(index, 1.0f);
    double low = 0.0;
    double high = 0.0;
    int lowDecimals = 0;
    int highDecimals = 0;
    if (!ParseLeadingNumber(range.lowText, low, lowDecimals) ||
        !ParseLeadingNumber(range.highText, high, highDecimals) || low == high) {
        return range;
    }
    const double step = std::pow(10.0, -std::max(lowDecimals, highDecimals));
    range.numeric = true;
    range.low = low;
    range.high = high;
    range.halfStep = step / 2.0;

    auto shown = [&](float at) {
        double value = 0.0;
        return ShownNumber(DisplayAt(index, at), value) ? value : std::nan("");
    };
    // Narrows [below, above] around the first point where `same` stops holding, down to
    // neighbouring floats.
    auto bisect = [&](float& below, float& above, bool sameBelow, double end) {
        for (;;) {
            const float middle = below + (above - below) / 2.0f;
            if (middle <= below || middle >= above) return;
            if ((shown(middle) == end) == sameBelow)
                below = middle;
            else
                above = middle;
        }
    };
    float lowBelow = 0.0f;
    float lowAbove = 1.0f;
    bisect(lowBelow, lowAbove, true, low);
    float highBelow = 0.0f;
    float highAbove = 1.0f;
    bisect(highBelow, highAbove, false, high);
    const double nextToLow = shown(lowAbove);
    const double nextToHigh = shown(highBelow);
    auto oneStep = [step](double a, double b) { return std::fabs(std::fabs(a - b) - step) < step * 1e-3; };
    const double atLow = (static_cast<double>(lowBelow) + lowAbove) / 2.0;
    const double atHigh = (static_cast<double>(highBelow) + highAbove) / 2.0;
    // Otherwise the texts jump by more than their precision at the ends, and the ends as shown
    // are the best there is.
    if (oneStep(nextToLow, low) && oneStep(nextToHigh, high) && atHigh > atLow) {
        const double plainAtLow = (low + nextToLow) / 2.0;
        const double plainAtHigh = (high + nextToHigh) / 2.0;
        const double slope = (plainAtHigh - plainAtLow) / (atHigh - atLow);
        range.low = plainAtLow - slope * atLow;
        range.high = range.low + slope;
    }
    return range;
}

const std::vector<ParameterMapper::Shown>& ParameterMapper::TextsOf(int index)
{
    auto found = m_texts.find(index);
    if (found != m_texts.end()) return found->second;
    std::vector<Shown>& texts = m_texts[index];
    for (int i = 0; i <= kScanSteps; ++i) {
        const float at = static_cast<float>(i) / kScanSteps;
        const std::string text = DisplayAt(index, at);
        auto same = std::find_if(texts.begin(), texts.end(), [&](const Shown& s) { return s.text == text; });
        if (same == texts.end())
            texts.push_back({text, at, at});
        else if (same->last == static_cast<float>(i - 1) / kScanSteps)
            same->last = at; // only a run that continues; a text that comes back keeps its first run
    }
    return texts;
}

std::string ParameterMapper::Describe(int index)
{
    const NumericRange& range = RangeOf(index);
    if (range.numeric) return "a number from " + range.lowText + " to " + range.highText;
    std::string list;
    const std::vector<Shown>& texts = TextsOf(index);
    for (std::size_t i = 0; i < texts.size(); ++i) list += (i > 0 ? ", " : "") + texts[i].text;
    return "one of " + list + " (or its position, 0 to " + std::to_string(texts.size() - 1) + ")";
}

bool ParameterMapper::Apply(const ParamSetting& setting, bool normalized, std::string& error)
{
    const int index = Find(Trim(setting.name), error);
    if (index < 0) return false;
    const std::string name = m_plugin.ParamName(index);
    const std::string value = Trim(setting.value);
    double number = 0.0;
    const bool isNumber = ParseNumber(value, number);

    if (isNumber && normalized) {
        if (number < 0.0 || number > 1.0) {
            error = "normalized value " + value + " for " + Quoted(name) + " is outside 0 to 1";
            return false;
        }
        m_plugin.SetParameter(index, static_cast<float>(number));
        return true;
    }
    if (!isNumber) {
        if (value.empty() || !ApplyText(index, value, error)) {
            if (error.empty()) {
                const char* what = RangeOf(index).numeric ? " is not a number" : " is not a value";
                error = "the value " + Quoted(value) + " for " + Quoted(name) + what + "; it takes " + Describe(index);
            }
            return false;
        }
        return true;
    }
    if (RangeOf(index).numeric) return ApplyNumber(index, number, error);

    const std::vector<Shown>& texts = TextsOf(index);
    const double position = std::floor(number);
    if (position != number || position < 0.0 || position >= static_cast<double>(texts.size())) {
        error = "the value " + value + " for " + Quoted(name) + " is not one it takes; it takes " + Describe(index);
        return false;
    }
    return ApplyText(index, texts[static_cast<std::size_t>(position)].text, error);
}

bool ParameterMapper::ApplyNumber(int index, double plain, std::string& error)
{
    const NumericRange& range = RangeOf(index);
    const std::string name = m_plugin.ParamName(index);
    const double lowest = std::min(range.low, range.high) - range.halfStep;
    const double highest = std::max(range.low, range.high) + range.halfStep;
    char shownValue[64];
    std::snprintf(shownValue, sizeof shownValue, "%.10g", plain);
    if (plain < lowest || plain > highest) {
        error = "the value " + std::string(shownValue) + " for " + Quoted(name) + " is outside its range, " +
                range.lowText + " to " + range.highText;
        return false;
    }
    const double normalized = std::clamp((plain - range.low) / (range.high - range.low), 0.0, 1.0);
    m_plugin.SetParameter(index, static_cast<float>(normalized));

    // A parameter whose plain value does not follow the normalised one in a straight line ends
    // up elsewhere; better to say so than to process with a value nobody asked for.
    const std::string text = m_plugin.ParamDisplay(index);
    double shown = 0.0;
    if (!ShownNumber(text, shown) || std::fabs(shown - plain) > range.halfStep * 1.001 + 1e-12) {
        error = "after setting " + Quoted(name) + " to " + shownValue + " the plug-in shows " + Quoted(text) +
                "; its values do not map linearly, so give a normalized value with --normalized";
        return false;
    }
    return true;
}

bool ParameterMapper::ApplyText(int index, const std::string& text, std::string& error)
{
    const std::vector<Shown>& texts = TextsOf(index);
    auto match = std::find_if(texts.begin(), texts.end(), [&](const Shown& s) { return s.text == text; });
    if (match == texts.end()) {
        match =
            std::find_if(texts.begin(), texts.end(), [&](const Shown& s) { return EqualsIgnoringCase(s.text, text); });
    }
    if (match == texts.end()) return false;
    // A text shown when probing need not survive setting: a stepped parameter may round a value
    // that it shows truncated. The first value of the run is the one that rounds into it when the
    // text starts the run at a step, the last when the run ends at one.
    const float middle = match->first + (match->last - match->first) / 2.0f;
    for (float candidate : {match->first, middle, match->last}) {
        m_plugin.SetParameter(index, candidate);
        if (m_plugin.ParamDisplay(index) == match->text) return true;
    }
    error = "the plug-in does not keep " + Quoted(match->text) + " for " + Quoted(m_plugin.ParamName(index));
    return false;
}

} // namespace hosttool
