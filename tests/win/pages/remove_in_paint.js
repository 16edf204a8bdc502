// The page takes the control off inside an event of its form: the first OnPaint.
var removed = false;
function OnPaint() {
    if (removed) return;
    removed = true;
    host.removeControl();
}
host.sleep(1500);
host.print(removed ? "removed in OnPaint" : "never painted");
