// The panel's control wrappers and the control id each one stands for. They
// live for the whole process and hold a handle only while the panel exists.
#include "win/panel/ControlWrapper.h"

#include "core/base/CommandIds.h"
#include "win/base/StatusLine.h"

namespace panelControls {
ControlWrapper framePeriodTrack;
ControlWrapper rejectionTrack;
ControlWrapper scaleTrack;
ControlWrapper colorWidthTrack;
ControlWrapper maxFreqTrack;
ControlWrapper windowCombo;
ControlWrapper frameLengthCombo;
ControlWrapper recordRateCombo;
ControlWrapper recordBitsCombo;
ControlWrapper recordSecondsCombo;
ControlWrapper framePeriodEcho;
ControlWrapper rejectionEcho;
ControlWrapper scaleEcho;
ControlWrapper colorWidthEcho;
ControlWrapper maxFreqEcho;
ControlWrapper frameLengthMs;
ControlWrapper framePeriodMs;
ControlWrapper sampleRateEdit;
ControlWrapper bitRateEdit;
ControlWrapper fileNameEdit;
ControlWrapper statusLine;
ControlWrapper sideGraduateCheck;
ControlWrapper graduateLineCheck;

RadioGroup sourceGroup;
RadioGroup energyGroup;
RadioGroup voicePrintGroup;

HWND browseButton = nullptr;
HWND recordButton = nullptr;
HWND stopRecordButton = nullptr;
}  // namespace panelControls

namespace pc = panelControls;

namespace {

struct WrapperBinding {
    ControlWrapper* wrapper;
    int id;
};

const WrapperBinding wrapperBindings[] = {
    {&pc::framePeriodTrack, IDC_FRAME_PERIOD},    {&pc::rejectionTrack, IDC_REJECTION},
    {&pc::scaleTrack, IDC_SCALE},                 {&pc::colorWidthTrack, IDC_COLOR_WIDTH},
    {&pc::maxFreqTrack, IDC_MAX_FREQ},            {&pc::windowCombo, IDC_WINDOW_FUNCTION},
    {&pc::frameLengthCombo, IDC_FRAME_LENGTH},    {&pc::recordRateCombo, IDC_RECORD_RATE},
    {&pc::recordBitsCombo, IDC_RECORD_BITS},      {&pc::recordSecondsCombo, IDC_RECORD_SECONDS},
    {&pc::framePeriodEcho, IDC_FRAME_PERIOD_ECHO}, {&pc::rejectionEcho, IDC_REJECTION_ECHO},
    {&pc::scaleEcho, IDC_SCALE_ECHO},             {&pc::colorWidthEcho, IDC_COLOR_WIDTH_ECHO},
    {&pc::maxFreqEcho, IDC_MAX_FREQ_ECHO},        {&pc::frameLengthMs, IDC_FRAME_LENGTH_MS},
    {&pc::framePeriodMs, IDC_FRAME_PERIOD_MS},    {&pc::sampleRateEdit, IDC_SAMPLE_RATE},
    {&pc::bitRateEdit, IDC_BIT_RATE},             {&pc::fileNameEdit, IDC_FILE_NAME},
    {&pc::statusLine, IDC_STATUS},                {&pc::sideGraduateCheck, IDC_SIDE_GRADUATE},
    {&pc::graduateLineCheck, IDC_GRADUATE_LINE},
};

}  // namespace

void attachControls(HWND panel)
{
    for (const WrapperBinding& binding : wrapperBindings) binding.wrapper->handle = GetDlgItem(panel, binding.id);
    // The analysis runs report there too, and they know nothing of the panel.
    attachStatusLine(pc::statusLine.handle);

    pc::sourceGroup.add(GetDlgItem(panel, IDC_SOURCE_FILE));
    pc::sourceGroup.add(GetDlgItem(panel, IDC_SOURCE_RECORD));
    pc::energyGroup.add(GetDlgItem(panel, IDC_LINEAR));
    pc::energyGroup.add(GetDlgItem(panel, IDC_LOG));
    pc::voicePrintGroup.add(GetDlgItem(panel, IDC_COLOR));
    pc::voicePrintGroup.add(GetDlgItem(panel, IDC_MONO));

    pc::browseButton = GetDlgItem(panel, IDC_BROWSE);
    pc::recordButton = GetDlgItem(panel, IDC_RECORD);
    pc::stopRecordButton = GetDlgItem(panel, IDC_STOP_RECORD);
}

void detachControls()
{
    for (const WrapperBinding& binding : wrapperBindings) binding.wrapper->handle = nullptr;
    attachStatusLine(nullptr);
    pc::browseButton = nullptr;
    pc::recordButton = nullptr;
    pc::stopRecordButton = nullptr;
}
