' The control from VBScript against the recording stand-in QZLINKE.DLL: the
' error state, by-reference arguments, the property put, the index ranges.
' Prints "ok: ..." or "FAILED: ..." per check and a last line "done, N failed"
' (Wine's cscript exits 0 even on script errors: the caller reads the lines).
Option Explicit
Dim failures, cam, detail, r
failures = 0
Sub Check(name, ok)
  If ok Then
    WScript.Echo "ok: " & name
  Else
    WScript.Echo "FAILED: " & name
    failures = failures + 1
  End If
End Sub

Set cam = CreateObject("QzlinkAXCtrlE.QzlinkCtrl")
Check "created by ProgID, type " & TypeName(cam), TypeName(cam) = "_QzlinkCtrl"
Check "a new instance reads ERRORCODE 0", cam.ERRORCODE = 0
detail = 77
Check "CommClose without a session returns -2", cam.CommClose() = -2
Check "and clears ERRORCODE and lError", cam.GetLastError(detail) = 0 And detail = 0
Check "CommOpen of a missing port returns 0", cam.CommOpen(99, 9600, 8, 0, 0) = 0
Check "ERRORCODE after the failure: ERR_SYSTEM (-1)", cam.ERRORCODE = -1
Check "GetLastError: -1, lError 2 (by reference)", cam.GetLastError(detail) = -1 And detail = 2
Check "CommOpen(3) opens", cam.CommOpen(3, 9600, 8, 0, 0) = 1
detail = 0
Check "ERRORCODE 0 again, lError keeps the failure's detail", _
  cam.ERRORCODE = 0 And cam.GetLastError(detail) = 0 And detail = 2
Check "a second CommOpen is refused with 0", cam.CommOpen(3, 9600, 8, 0, 0) = 0
Check "ERRORCODE: ERR_PORT_BUSY (-3)", cam.ERRORCODE = -3
Check "a camera call that fails returns 0", cam.SetZooming(0, 2) = 0
Check "and sets ERRORCODE -1, lError 87", cam.ERRORCODE = -1 And cam.GetLastError(detail) = -1 And detail = 87
Check "a camera call returns the library's result", cam.SetZooming(5, 2) = 5
Check "and clears both error values", cam.ERRORCODE = 0 And cam.GetLastError(detail) = 0 And detail = 0
Check "GetPicData before any message: 0", cam.GetPicData(0) = 0 And cam.GetPicData(-1) = 0
Check "GetLastCmdStr: the length of the last command", cam.GetLastCmdStr() = 7
Check "GetPicLastCmd(0), (6): its bytes", cam.GetPicLastCmd(0) = &HFF And cam.GetPicLastCmd(6) = &HEF
Check "GetPicLastCmd(127) calls the library, (128) and (-1) give 0", _
  cam.GetPicLastCmd(127) = 0 And cam.GetPicLastCmd(128) = 0 And cam.GetPicLastCmd(-1) = 0
Check "GetCommModemStatus: the library's QzGetStatus", cam.GetCommModemStatus() = &H51

On Error Resume Next
cam.ERRORCODE = 5
Check "setting ERRORCODE at run time fails with 382 (" & Err.Number & ")", Err.Number = 382
Check "with its text (" & Err.Description & ")", Err.Description = "Set not supported at runtime."
Err.Clear
r = cam.GetOperateStatus4(1)
Check "an export the library lacks: 453 (" & Err.Number & ")", Err.Number = 453
Check "naming it (" & Err.Description & ")", _
  Err.Description = "Can't find DLL entry point QzGetOperateStatus4 in QZLINKE.DLL"
Err.Clear
r = cam.SetZooming(1, 3E10)
Check "an argument beyond 32 bits: overflow (" & Err.Number & ")", Err.Number = 6
Err.Clear
On Error GoTo 0
Check "ERRORCODE is unchanged by the failures", cam.ERRORCODE = 0

Check "CommClose closes", cam.CommClose() = 1
cam.Terminate
Check "after Terminate CommOpen returns 0 without a call", cam.CommOpen(3, 9600, 8, 0, 0) = 0
WScript.Echo "done, " & failures & " failed"
