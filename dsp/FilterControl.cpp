// The audio filter presets and edges, music mode, the IF filter, the dynamic filter switch,
// and the redesign of every filter for the mode and edges.
#include "ReceiveChain.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"

#include <algorithm>

namespace orvex {
namespace {

std::int32_t TagValue(const std::string& tag) {
    return RoundHalfEven32(ParseNumber(tag).value_or(0.0));
}

void ShowValue(ValueLabel& l) {
    l.Caption = FormatNumber(l.Value, l.Format);
}

} // namespace

void ReceiveChain::setIFLabelsFromPreset() {
    auto& s = m_s;
    const auto mode =
        std::clamp(s.CurrentFilterMode, 0, static_cast<std::int32_t>(s.FilterPresets.size()) - 1);
    const FilterPreset& p = s.FilterPresets[static_cast<std::size_t>(mode)];
    if (s.CurrentDemodMode == kModeUSB) {
        s.lblIFHi.Value = static_cast<float>(p.CurrentHi);
        s.lblIFHi.Default = static_cast<float>(p.DefaultHi);
        s.lblIFLo.Value = static_cast<float>(p.CurrentLo);
        s.lblIFLo.Default = static_cast<float>(p.DefaultLo);
    } else if (s.CurrentDemodMode == kModeLSB) {
        s.lblIFHi.Value = static_cast<float>(-p.CurrentLo);
        s.lblIFHi.Default = static_cast<float>(-p.DefaultLo);
        s.lblIFLo.Value = static_cast<float>(-p.CurrentHi);
        s.lblIFLo.Default = static_cast<float>(-p.DefaultHi);
    } else {
        s.lblIFHi.Value = static_cast<float>(p.CurrentHi);
        s.lblIFHi.Default = static_cast<float>(p.DefaultHi);
        s.lblIFLo.Value = static_cast<float>(-p.CurrentHi);
        s.lblIFLo.Default = static_cast<float>(-p.DefaultHi);
    }
}

void ReceiveChain::optFilter_Click(std::int32_t Index) {
    auto& s = m_s;
    const auto presets = static_cast<std::int32_t>(s.FilterPresets.size());
    if (Index >= 0 && Index < presets) {
        s.optFilter.Choose(Index);
        s.CurrentFilterMode = Index;
    }
    if (Index >= 0 && s.CurrentFilterMode >= 0 && s.CurrentFilterMode < presets) {
        const FilterPreset& p = s.FilterPresets[static_cast<std::size_t>(s.CurrentFilterMode)];
        s.FilterLo = p.CurrentLo;
        s.FilterHi = p.CurrentHi;
        if (s.CurrentIFFilterMode == 2) {
            setIFLabelsFromPreset();
            ApplyLabel(ChainLabel::IFLo);
        }
        SetCheck(ChainCheck::Music, p.Music);
    }
    if (Index == -2) {
        s.FilterLo = TagValue(s.sldBW[0].Tag);
        s.FilterHi = TagValue(s.sldBW[1].Tag);
    }
    s.FilterWidth = s.FilterHi - s.FilterLo;
    s.sldBW[0].Tag = IntText(s.FilterLo);
    s.sldBW[1].Tag = IntText(s.FilterHi);
    // The dynamic filter starts 10 % inside each edge; only the tracking moves it after this.
    m_AFFilter.FLow = RoundHalfEven32(s.FilterLo + 0.1 * s.FilterWidth);
    m_AFFilter.FHigh = RoundHalfEven32(s.FilterHi - 0.1 * s.FilterWidth);
    s.FiltersChanged = true;
    UpdateFilterEdgeDisplay();
}

void ReceiveChain::lblFilterHi_Wheel() {
    auto& s = m_s;
    s.FilterHi = RoundHalfEven32(s.lblFilterHi.Value);
    s.FilterWidth = s.FilterHi - s.FilterLo;
    s.FiltersChanged = true;
    UpdateFilterEdgeDisplay();
}

void ReceiveChain::lblFilterLo_Wheel() {
    auto& s = m_s;
    s.FilterLo = RoundHalfEven32(s.lblFilterLo.Value);
    s.FilterWidth = s.FilterHi - s.FilterLo;
    s.FiltersChanged = true;
    UpdateFilterEdgeDisplay();
}

void ReceiveChain::lblIFHi_Wheel() {
    auto& s = m_s;
    s.IFHiOffset = RoundHalfEven32(s.lblIFHi.Value);
    if (s.CurrentIFFilterMode >= 0 && s.CurrentIFFilterMode <= 2)
        s.IFFilterSettings[static_cast<std::size_t>(s.CurrentIFFilterMode)].CurrentHi =
            s.IFHiOffset;
    ShowValue(s.lblIFHi);
    s.FiltersChanged = true;
}

void ReceiveChain::lblIFLo_Wheel() {
    auto& s = m_s;
    s.IFLoOffset = RoundHalfEven32(s.lblIFLo.Value);
    if (s.CurrentIFFilterMode >= 0 && s.CurrentIFFilterMode <= 2)
        s.IFFilterSettings[static_cast<std::size_t>(s.CurrentIFFilterMode)].CurrentLo =
            s.IFLoOffset;
    ShowValue(s.lblIFLo);
    s.FiltersChanged = true;
}

void ReceiveChain::chkMusic_Click() {
    auto& s = m_s;
    const auto mode =
        std::clamp(s.CurrentFilterMode, 0, static_cast<std::int32_t>(s.FilterPresets.size()) - 1);
    FilterPreset& p = s.FilterPresets[static_cast<std::size_t>(mode)];
    if (s.chkMusic.Value) {
        p.SavedLo = s.FilterLo;
        s.MusicOn = true;
        p.Music = true;
        s.FilterLo = 50;
    } else {
        s.MusicOn = false;
        p.Music = false;
        s.FilterLo = p.SavedLo;
    }
    SetLabel(ChainLabel::FilterLo, static_cast<float>(s.FilterLo));
    s.FiltersChanged = true;
}

void ReceiveChain::chkDynFilter_Click() {
    auto& s = m_s;
    if (s.chkDynFilter.Value) {
        s.DynFilterOn = true;
        m_AFFilter.Active = true;
    } else {
        s.DynFilterOn = false;
        m_AFFilter.Active = false;
        optFilter_Click(-2);
    }
}

void ReceiveChain::chkIFFilter_Click() {
    auto& s = m_s;
    if (s.chkIFFilter.Value) {
        m_IFFilter.Active = true;
        s.IFFilterActive = true;
        optIFFilter_Click(s.CurrentIFFilterMode);
        s.FiltersChanged = true;
    } else {
        m_IFFilter.Active = false;
        s.IFFilterActive = false;
    }
}

void ReceiveChain::optIFFilter_Click(std::int32_t Index) {
    auto& s = m_s;
    if (!s.IFFilterActive || m_optIFFilterBusy) return;
    m_optIFFilterBusy = true;
    s.CurrentIFFilterMode = Index;
    if (Index == 0) {
        SetCheck(ChainCheck::IFFilter, false);
        s.lblIFHi.Enabled = s.lblIFLo.Enabled = false;
    } else if (Index == 1) {
        SetCheck(ChainCheck::IFFilter, true);
        s.lblIFHi.Enabled = s.lblIFLo.Enabled = true;
        const IFFilterSetting& f = s.IFFilterSettings[1];
        s.lblIFHi.Value = static_cast<float>(f.CurrentHi);
        s.lblIFHi.Default = static_cast<float>(f.DefaultHi);
        s.lblIFLo.Value = static_cast<float>(f.CurrentLo);
        s.lblIFLo.Default = static_cast<float>(f.DefaultLo);
    } else if (Index == 2) {
        SetCheck(ChainCheck::IFFilter, true);
        s.lblIFHi.Enabled = s.lblIFLo.Enabled = true;
        setIFLabelsFromPreset();
    }
    s.optIFFilter.Choose(Index);
    ApplyLabel(ChainLabel::IFHi);
    ApplyLabel(ChainLabel::IFLo);
    m_optIFFilterBusy = false;
}

void ReceiveChain::sldBW_Change(std::int32_t Index, std::int32_t Position) {
    auto& s = m_s;
    if (m_sldBWBusy || Index < 0 || Index > 1) return;
    m_sldBWBusy = true;
    Slider& sl = s.sldBW[static_cast<std::size_t>(Index)];
    sl.Value = Position;
    const std::int32_t edge = sl.Max - Position + sl.Min;
    if (Index == 0)
        s.FilterLo = edge;
    else
        s.FilterHi = edge;
    s.FilterWidth = s.FilterHi - s.FilterLo;
    s.FiltersChanged = true;
    UpdateFilterEdgeDisplay();
    m_sldBWBusy = false;
}

void ReceiveChain::sldBW_RightButton(std::int32_t Index) {
    auto& s = m_s;
    if (Index < 0 || Index > 1) return;
    const Slider& sl = s.sldBW[static_cast<std::size_t>(Index)];
    const std::int32_t edge = (Index == 0 && s.MusicOn) ? 50 : TagValue(sl.Tag);
    sldBW_Change(Index, sl.Max + sl.Min - edge);
}

void ReceiveChain::sldBW_MouseMove(std::int32_t Index, std::int32_t Y, std::int32_t Length) {
    auto& s = m_s;
    const PanelColour c = (Y > 50 && Y < Length - 50) ? kColourSelected : kColourResting;
    if (Index == 0)
        s.lblFloDescColour = s.lblFLoColour = c;
    else if (Index == 1)
        s.lblFHiDescColour = s.lblFHiColour = c;
}

void ReceiveChain::sldBW_LostFocus(std::int32_t Index) {
    sldBW_MouseMove(Index, 0, 0);
}

// Every figure of the AF filter follows the edges in force, whatever moved them (a preset, a
// wheel step, music mode, a restored or recalled edge, a slider): the values beside the
// sliders, the sliders' positions and tool tips, and the two edge labels.
void ReceiveChain::UpdateFilterEdgeDisplay() {
    auto& s = m_s;
    if (m_edgeDisplayBusy) return;
    m_edgeDisplayBusy = true;
    s.sldBW[0].Value = s.sldBW[0].Max + s.sldBW[0].Min - s.FilterLo;
    s.sldBW[1].Value = s.sldBW[1].Max + s.sldBW[1].Min - s.FilterHi;
    s.lblFLo = FormatNumber(s.FilterLo, "#0");
    s.lblFHi = FormatNumber(s.FilterHi, "#0");
    s.sldBW[0].ToolTip = "Flo : " + FormatNumber(s.FilterLo, "#,##0 Hz");
    s.sldBW[1].ToolTip = "Fhi : " + FormatNumber(s.FilterHi, "#,##0 Hz");
    s.lblFilterHi.Value = static_cast<float>(s.FilterHi);
    s.lblFilterLo.Value = static_cast<float>(s.FilterLo);
    ShowValue(s.lblFilterHi);
    ShowValue(s.lblFilterLo);
    m_edgeDisplayBusy = false;
}

void ReceiveChain::waitForBlock() {
    while (m_s.DSPBusy)
        YieldToUser();
}

void ReceiveChain::RebuildFilters() {
    auto& s = m_s;
    if (m_rebuildBusy) return;
    m_rebuildBusy = true;
    const std::int32_t c = m_IFFilter.FSampling / 4; // the IF centre, 12000 Hz
    switch (s.CurrentDemodMode) {
    case kModeUSB:
        m_IFFilter.FLow = c + s.FilterLo;
        m_IFFilter.FHigh = c + s.FilterHi;
        break;
    case kModeLSB:
        m_IFFilter.FLow = c - s.FilterHi;
        m_IFFilter.FHigh = c - s.FilterLo;
        break;
    case kModeFM:
        m_IFFilter.FLow = c - 10000;
        m_IFFilter.FHigh = c + 10000;
        break;
    case kModeAM:
    case kModeBC:
        if (s.CurrentIFFilterMode == 1) {
            m_IFFilter.FLow = 12000 - s.IFLoOffset;
            m_IFFilter.FHigh = 12000 + s.IFHiOffset;
            break;
        }
        [[fallthrough]];
    default: // DRM, and AM/BC tracking the audio edges
        m_IFFilter.FLow = c - s.FilterHi;
        m_IFFilter.FHigh = c + s.FilterHi;
        break;
    }
    m_IFFilter.MakeFilter();
    YieldToUser();
    if (m_AMFilterI.Active) {
        m_AMFilterI.FHigh = m_IFFilter.FHigh;
        m_AMFilterI.FLow = m_IFFilter.FLow;
        m_AMFilterI.MakeFilter();
        YieldToUser();
    }
    if (m_AMFilterQ.Active) {
        m_AMFilterQ.FHigh = m_AMFilterI.FHigh;
        m_AMFilterQ.FLow = m_AMFilterI.FLow;
        m_AMFilterQ.MakeFilter();
        YieldToUser();
    }
    m_AFDemodFilter.FHigh = s.FilterHi;
    m_AFDemodFilter.FLow = s.FilterLo;
    if (m_AFDemodFilter.Active) m_AFDemodFilter.MakeFilter();
    YieldToUser();
    m_SSBFilterI.FHigh = s.FilterHi;
    m_SSBFilterI.FLow = s.FilterLo;
    m_SSBFilterI.MakeFilter();
    YieldToUser();
    m_SSBFilterQ.FHigh = s.FilterHi;
    m_SSBFilterQ.FLow = s.FilterLo;
    if (m_SSBFilterQ.Active) {
        m_SSBFilterQ.MakeFilter();
        waitForBlock();
    }
    if (m_spectrum) {
        m_IFFilter.GetFilterCoeffs_T_S(m_filterTaps.data());
        m_spectrum->LoadFilterCoeffs_T_S(m_filterTaps.data());
    }
    m_rebuildBusy = false;
}

} // namespace orvex
