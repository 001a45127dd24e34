#include "ValueTable.h"

#include "core/Format.h"

namespace orvex::app {
namespace {

bool Adjustable(WheelEntry n) {
    return n != WheelEntry::None && ValueTable::valid(n);
}

} // namespace

ValueTable::ValueTable() {
    for (int n = 0; n <= kWheelEntries; ++n)
        m_entries[static_cast<std::size_t>(n)].Id = static_cast<WheelEntry>(n);
}

void ValueTable::define(WheelEntry n, float min, float max, float defaultValue, float fine,
                        float normal, float coarse, const char* format, bool showValue) {
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

void ValueTable::wheel(WheelEntry n, const WheelMessage& message) {
    if (!Adjustable(n)) return;
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
    if (!l.Format.empty() && e.ShowValue) showCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::rightClick(WheelEntry n) {
    if (!Adjustable(n)) return;
    ValueEntry& e = entry(n);
    if (e.Reset) {
        e.Reset();
        return;
    }
    e.Label->Value = e.Label->Default;
    showCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::set(WheelEntry n, float value) {
    if (!Adjustable(n)) return;
    ValueEntry& e = entry(n);
    ValueLabel& l = *e.Label;
    if (l.Max > l.Min) {
        if (value > l.Max) value = l.Max;
        if (value < l.Min) value = l.Min;
    }
    l.Value = value;
    showCaption(n);
    if (e.Apply) e.Apply();
}

void ValueTable::showCaption(WheelEntry n) {
    ValueLabel& l = *entry(n).Label;
    if (!l.Format.empty()) l.Caption = FormatNumber(l.Value, l.Format);
}

} // namespace orvex::app
