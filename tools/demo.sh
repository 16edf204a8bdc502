#!/usr/bin/env bash
# The demo: a scripted exchange between an adapter's side of the pipes and the stand-in
# widget kernel, in the build's private Wine prefix. Called by `./run demo` as
#   tools/demo.sh <Windows build dir>
# with DISPLAY and WINEPREFIX set. Exit status 0 when every step went as expected.
set -uo pipefail

WIN=${1:?usage: tools/demo.sh <Windows build dir>}
demo=$WIN/tools/linkdemo/VLLinkDemo.exe
kernel=$WIN/tools/kernel/VLWidgetKernel.exe
for f in "$demo" "$kernel"; do
  [ -f "$f" ] || { echo "demo: $f is missing; build first (./run build)" >&2; exit 1; }
done
# Z: is the Unix root inside the prefix.
kernel_win="Z:$(printf '%s' "$kernel" | tr / '\\')"

echo "== vorlink! stand-in kernel: link demo"
echo "   the demo program plays the adapter: it starts the kernel, makes the pipe handshake,"
echo "   sends the requests a page makes (SaveData, LoadData, CheckRegionInfo, SendCommand,"
echo "   ClearData) and the leave notice; -> is what it writes, <- what the kernel answers."
echo
"$WIN/wine_run.sh" "$demo" "$kernel_win" | tr -d '\r'
status=${PIPESTATUS[0]}
echo
if [ "$status" -eq 0 ]; then
  echo "demo summary: PASSED (the stand-in kernel answered every request and ended after the leave notice)"
else
  echo "demo summary: FAILED (link demo exit status $status)"
fi
exit "$status"
