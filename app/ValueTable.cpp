#include "ValueTable.h"

#include "core/Format.h"

namespace orvex::app {

ValueTable::ValueTable() {
    for (int n = 0; n <= kEntries; ++n)
        entry(n).Id = static_cast<std::int16_t>(n);
}

void ValueTable::define(int n, float min, float max, float defaultValue, float fine, float normal,
                        float coarse, const char* format, bool showValue) {
    ValueEntry& e = entry(n);
    e.Label->Min = min;
    e.Label->Max = max;
    e.Label->Default = defaultValue;
    e.Label->Format = format;
    e.FineStep = fine;
    e.NormalStep = normal;
    e.CoarseStep = coarse;
    e.ShowValue = showValue;
}

void ValueTable::Wheel(int n, const WheelMessage& message) {
    if (n < 1 || n > kEntries) return;
    ValueEntry& e = entry(n);
    ValueLabel& l = *e.Label;
    e.LastMessage = message;
    const float step = message.ctrl ? e.FineStep : message.shift ? e.CoarseStep : e.NormalStep;
    if (message.forward) {
        l.Value += step;
        if (l.Value >= l.Max) l.Value = l.Max;
    } else {
        l.Value -= step;
        if (l.Value <= l.Min) l.Value = l.Min;
    }
    if (!l.Format.empty() && e.ShowValue) ShowCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::RightClick(int n) {
    if (n < 1 || n > kEntries) return;
    ValueEntry& e = entry(n);
    if (e.Reset) {
        e.Reset();
        return;
    }
    e.Label->Value = e.Label->Default;
    ShowCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::Set(int n, float value) {
    if (n < 1 || n > kEntries) return;
    ValueEntry& e = entry(n);
    ValueLabel& l = *e.Label;
    if (l.Max > l.Min) {
        if (value > l.Max) value = l.Max;
        if (value < l.Min) value = l.Min;
    }
    l.Value = value;
    ShowCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::ShowCaption(int n) {
    ValueLabel& l = *entry(n).Label;
    if (!l.Format.empty()) l.Caption = FormatNumber(l.Value, l.Format);
}

} // namespace orvex::app
