// The page takes the control off inside the notice of a property change it made.
var changes = 0;
function OnChanged(dispid) {
    changes++;
    host.print("changed " + dispid);
    host.removeControl();
}
control.Caption = "going";
host.sleep(300);
host.print("changes " + changes);
