#include "IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>

int TruncToInt(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

void CopyText(char* dest, const char* src, int size)
{
    if (!dest || size <= 0) return;
    int i = 0;
    if (src)
        for (; i < size - 1 && src[i]; ++i) dest[i] = src[i];
    dest[i] = '\0';
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label)
{
    if (m_type == kTypeNone) m_type = kTypeDouble;
    CopyText(m_name, name, MAX_PARAM_NAME_LEN);
    CopyText(m_label, label, MAX_PARAM_LABEL_LEN);
    m_value = defaultVal;
    m_min = minVal;
    m_max = maxVal > minVal + step ? maxVal : minVal + step;
    m_step = step;

    m_displayPrecision = 0;
    for (double s = step; m_displayPrecision < 6 && s != std::floor(s); s *= 10.0) ++m_displayPrecision;
}

void IParam::InitEnum(const char* name, int defaultVal, int count)
{
    if (m_type == kTypeNone) m_type = kTypeEnum;
    InitDouble(name, defaultVal, 0.0, count - 1, 1.0, "");
}

void IParam::SetDisplayText(int value, const char* text)
{
    DisplayText entry{};
    entry.value = value;
    CopyText(entry.text, text, MAX_PARAM_DISPLAY_LEN);
    m_displayTexts.Add(entry);
}

const char* IParam::GetDisplayText(int value) const
{
    const DisplayText* texts = m_displayTexts.Get();
    for (int i = 0; i < m_displayTexts.GetSize(); ++i)
        if (texts[i].value == value) return texts[i].text;
    return "";
}

bool IParam::MapDisplayText(const char* text, int* value) const
{
    if (!text) return false;
    const DisplayText* texts = m_displayTexts.Get();
    for (int i = 0; i < m_displayTexts.GetSize(); ++i) {
        if (strcmp(texts[i].text, text) == 0) {
            if (value) *value = texts[i].value;
            return true;
        }
    }
    return false;
}

double IParam::Constrain(double value) const
{
    if (std::isnan(value)) value = 0.0;
    return value < m_min ? m_min : (value > m_max ? m_max : value);
}

double IParam::FromNormalized(double normalized) const
{
    double v = m_min + std::pow(normalized, m_shape) * (m_max - m_min);
    if (m_type != kTypeDouble) v = std::floor(v / m_step + 0.5) * m_step;
    if (std::isnan(v)) return v;
    return v < m_max ? v : m_max;
}

void IParam::SetNormalizedValue(double normalized)
{
    if (std::isnan(normalized)) return;
    const double v = FromNormalized(normalized);
    if (std::isnan(v)) return; // a negative base under a non-integer shape
    m_value = v;
}

double IParam::GetNormalizedValue(double plain) const
{
    if (std::isnan(plain)) plain = 0.0;
    const double clamped = plain < m_min ? m_min : (plain > m_max ? m_max : plain);
    return std::pow((clamped - m_min) / (m_max - m_min), 1.0 / m_shape);
}

double IParam::DBToAmp() const { return std::exp(0.1151292546497 * m_value); }

const char* IParam::GetLabelForHost() const { return *GetDisplayText(TruncToInt(m_value)) ? "" : m_label; }

void IParam::GetDisplayForHost(double value, bool normalized, char* out) const
{
    if (!out) return;
    // A normalised value shows what setting it would store: an enumeration rounds to its nearest
    // entry, as SetNormalizedValue does.
    if (normalized) value = FromNormalized(value);

    const char* text = GetDisplayText(TruncToInt(value));
    if (*text) {
        CopyText(out, text, MAX_PARAM_DISPLAY_LEN);
        return;
    }
    if (m_negateDisplay) value = -value;
    if (value == 0.0)
        CopyText(out, "0", MAX_PARAM_DISPLAY_LEN);
    else if (m_displayPrecision == 0)
        snprintf(out, MAX_PARAM_DISPLAY_LEN, "%d", TruncToInt(value));
    else
        snprintf(out, MAX_PARAM_DISPLAY_LEN, "%.*f", m_displayPrecision, value);
}
