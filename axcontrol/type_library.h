// The control's type library: the class, its dual interface _QzlinkCtrl and
// its event interface __QzlinkCtrl with their fixed ids, built from the member
// list in control_members.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "axcontrol/control_members.h"
#include "platform/automation/automation.h"

namespace qzaxctrl {

extern const qzauto::GUID kLibId;
extern const qzauto::CLSID kClsidQzlinkCtrl;
extern const qzauto::IID kIidQzlinkCtrl;        // _QzlinkCtrl
extern const qzauto::IID kIidQzlinkCtrlEvents;  // __QzlinkCtrl

const qzauto::InterfaceDesc& QzlinkCtrlInterface();
const qzauto::InterfaceDesc& QzlinkCtrlEventInterface();
const qzauto::LibraryDesc& QzlinkAxCtrlLibrary();

}  // namespace qzaxctrl
