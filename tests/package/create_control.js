// Run by cscript.exe in the package's test, after the INF's install: what the registry says
// of the control's ProgID, then the control created by it through a script host, and the
// version that the control and its server file report.
//   cscript //nologo create_control.js
var shell = new ActiveXObject("WScript.Shell");
var clsid = shell.RegRead("HKCR\\VLServiceAdapter.VLServiceAdapterX\\CLSID\\");
var server = shell.RegRead("HKCR\\CLSID\\" + clsid + "\\InprocServer32\\");
WScript.Echo("clsid " + clsid);
WScript.Echo("server " + server);
var control = new ActiveXObject("VLServiceAdapter.VLServiceAdapterX");
WScript.Echo("GetVersion " + control.GetVersion());
WScript.Echo("FileVersion " + new ActiveXObject("Scripting.FileSystemObject").GetFileVersion(server));
