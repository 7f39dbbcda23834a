#include "resources/string_table.h"

#include "resources/string_ids.h"

namespace qtr90x {

namespace {

struct Entry {
  int id;
  const char* text;
};

constexpr Entry kStrings[] = {
    {str::kVersionInfoMenu, "The Version Info of QTR90xControler...\t(&A)"},
    {str::kTabAdjust, "Adjust"},
    {str::kTabSystem, "System"},
    {str::kTabPicture, "Picture"},
    {str::kOff, "Off"},
    {str::kOn1, "On1"},
    {str::kOn2, "On2"},
    {str::kLow, "Low"},
    {str::kHigh, "High"},
    {str::kLedNormal, "Normal"},
    {str::kLedGreen, "Green"},
    {str::kLedRed, "Red"},
    {str::kLedOrange, "Orange"},
    {str::kDateYyMmDd, "yy.mm.dd"},
    {str::kDateDdMmYy, "dd.MM.yy"},
    {str::kTime24, "hh:mm:ss"},
    {str::kTime12, "HH:mm:ss tt"},
    {str::kZoomX2, "x 2"},
    {str::kZoomX4, "x 4"},
    {str::kZoomX8, "x 8"},
    {str::kZoomX12, "x 12"},
    {str::kZoomX16, "x 16"},
    {str::kCameraBusy, "the camera is busy(code:%d)"},
    {str::kWrongParameter, "the specified parameter is wrong(code:%d)"},
    {str::kWrongMode, "the specified mode is wrong(code:%d)"},
    {str::kFatalError, "the fatal error of a system occurred(code:%d)"},
    {str::kNotExecuted, "the transmitted command has not been executed (code:%d)"},
    {str::kLabelSend, "send"},
    {str::kLabelAck, "ack"},
    {str::kLabelNotify, "notify"},
    {str::kLabelRemoteOn, "remote on"},
    {str::kLabelRemoteOff, "remote off"},
    {str::kLabelGlobalNotify, "global notify"},
    {str::kLabelError, "error"},
    {str::kLabelFatalError, "fatal error"},
    {str::kFailedToOpenCom, "Failed to open COM%d"},
    {str::kOn, "On"},
    {str::kAppTitle, "QT-R90x Controler"},
    {str::kFailToSendCommand, "fail to send command"},
    {str::kLabelDetect, "detect"},
    {str::kPresetNameHint, "* Each preset name is less than 15 letters."},
    {str::kModelQtR7, "Model : QT-R7"},
    {str::kModelQtR90x, "Model : QT-R90x"},
    {str::kModelQtR90xN, "Model : QT-R90xN"},
    {str::kModelUnknown, "Model : Unknown"},
    {str::kPortTarget, "COM%d: %s"},
    {str::kNoAnswer, "no answer from the camera, given up: %s"},
    {str::kLateAnswer, "late answer, decoded for nobody (%s was given up)"},
    {str::kAnswerForNobody, "answer to no command, decoded for nobody"},
    {str::kNoNotification, "the camera did not report the end of %s"},
    {str::kTitlePort, " (COM%d)"},
    {str::kTitlePortLost, " (COM%d - no connection)"},
    {str::kLinkLost, "the line to the camera is lost (%s); opening it again every 2 s"},
    {str::kLinkBack, "the line to the camera is back"},
    {str::kSettingsDamaged,
     "The settings file could not be read in full. A copy of it as it was is kept as %s; the "
     "application goes on with what could be read, and default settings and preset names for "
     "the rest."},
    {str::kSettingsDamagedInPlace,
     "The settings file could not be read in full and is read-only: it was left as it is, and "
     "the application goes on with what could be read (default settings for the rest), which "
     "it cannot store."},
    {str::kSettingsNotSaved,
     "The settings cannot be saved: %s. The application runs on, but preset names and the port "
     "chosen now are lost when it ends."},
};

}  // namespace

const char* LoadString(int id) {
  for (const Entry& e : kStrings) {
    if (e.id == id)
      return e.text;
  }
  return "";
}

}  // namespace qtr90x
