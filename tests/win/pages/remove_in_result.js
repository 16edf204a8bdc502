// The page takes the control off inside OnResult, raised by a tick of the response pump.
var removed = false;
function OnResult(cmd, serial, params) {
    if (removed) return;
    removed = true;
    host.print("OnResult " + cmd + " " + serial + " " + params);
    host.removeControl();
}
host.print("Initialize2 " + control.Initialize2("TW;Production", "1.0.0.10", "", 0, host.url));
host.print("SendCommand " + control.SendCommand(2, 7, "Hello=1"));
host.sleep(3000);
host.print(removed ? "removed in OnResult" : "no result");
