' The control without QZLINKE.DLL beside it or on the search path: the first
' call that needs the library fails with 53. Prints "error N: TEXT".
Dim cam
Set cam = CreateObject("QzlinkAXCtrlE.QzlinkCtrl")
On Error Resume Next
cam.SetZooming 1, 2
WScript.Echo "error " & Err.Number & ": " & Err.Description
WScript.Echo "ERRORCODE " & cam.ERRORCODE
