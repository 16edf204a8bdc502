#!/usr/bin/env bash
# The benchmarks of the control, in one run. Called by `./run bench` as
#   bench/run_benchmarks.sh <native build dir> <Windows build dir> [<64-bit twin's build dir>]
# with WINEPREFIX and DISPLAY set (./run makes the prefix and the display). Runs every
# benchmark program, prints one table with each figure beside the bound or reference it is
# held against, and writes the table, the command and the date to bench/RESULTS.md.
# Exit status 0 unless a benchmark did not run (a figure of the table is missing); the
# figures themselves never fail the run.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
NATIVE=${1:?usage: bench/run_benchmarks.sh <native build dir> <Windows build dir>}
WIN=${2:?usage: bench/run_benchmarks.sh <native build dir> <Windows build dir>}
WIN64=${3:-} # the twin's figures, in its 64-bit prefix, when given
WORK=$WIN/bench/run
FIGURES=$WORK/figures.txt
LOG=$WORK/benchmarks.log
RESULTS=$ROOT/bench/RESULTS.md
LOAD_RUNS=5          # control_load_bench runs, each in a fresh process
PROGRAM_LIMIT=240    # seconds any one program may take

# The benchmarks start the maker-signed kernel, whose publisher check wants its chain to
# end at a trusted root: the whole run trusts the test root, with wineservers of its own
# that end with it.
if [ "${VL_TEST_ROOT_TRUSTED:-}" != 1 ]; then
  own_servers=(--wine-prefix "$WIN/wineprefix")
  [ -n "$WIN64" ] && own_servers+=(--wine-prefix "$WIN64/wineprefix")
  exec "$ROOT/tools/trust/with_test_root.sh" "$WIN/certs/test_root.crt" "${own_servers[@]}" -- "$0" "$@"
fi

mkdir -p "$WORK"
: >"$FIGURES"
: >"$LOG"
FAILED=()

log() { printf '== %s\n' "$*"; }
# shellcheck source=../tools/common/windows_path.sh
. "$ROOT/tools/common/windows_path.sh"

# collect <key prefix> <command...>: runs a benchmark program, keeps its output in the log
# and its "figure" lines (keys prefixed) in the figures file.
collect() {
  local prefix=$1 name status output=$WORK/output.txt
  shift
  name=$(basename "$1")
  [ "$name" = wine_run.sh ] && name=$(basename "$2")
  printf '\n$ %s\n' "$*" >>"$LOG"
  # Into a file, not a pipe: a kernel that the program starts inherits its output and
  # outlives it.
  timeout --kill-after=10 "$PROGRAM_LIMIT" "$@" >"$output" 2>&1
  status=$?
  tr -d '\r' <"$output" | tee -a "$LOG" |
    awk -v prefix="$prefix" '
      $1 == "figure"  { print prefix $2, $3, $4 }
      $1 == "missing" { print "    not measured: " $2 " (" substr($0, index($0, $3)) ")" > "/dev/stderr" }' \
    >>"$FIGURES"
  if [ "$status" -ne 0 ]; then
    echo "    $name ended with status $status (log: $LOG)" >&2
    FAILED+=("$name")
  fi
  return 0
}

wine_program() { collect "" "$WIN/wine_run.sh" "$@"; }

# product_state <build dir> reset|install: the product state in that tree's prefix.
product_state() {
  "$1/wine_run.sh" "$1/bench/win/bench_state.exe" "$2" >>"$LOG" 2>&1 ||
    { echo "    bench_state $2 in $1 failed" >&2; FAILED+=("bench_state $2"); }
}

for f in "$NATIVE/message_parse_bench" "$NATIVE/component_stream_bench" "$WIN/VLServiceAdapter.ocx" \
         "$WIN/pagehost.exe" "$WIN/bench/win/bench_state.exe" "$WIN/bench/win/linked_control_bench.exe"; do
  [ -e "$f" ] || { echo "bench: $f is missing; build first (./run build)" >&2; exit 1; }
done

STARTED=$(date -u '+%Y-%m-%d %H:%M UTC')
LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
SECONDS=0

log "message parsing, component stream loading, the host's message reading (native, clang -O2, no sanitizers)"
collect "native." "$NATIVE/message_parse_bench"
collect "native." "$NATIVE/component_stream_bench"
collect "native." "$NATIVE/service_message_bench"
log "the same, as the module's compiler builds them (MinGW -O2, under Wine)"
collect "win." "$WIN/wine_run.sh" "$WIN/bench/win/message_parse_bench_win.exe"
collect "win." "$WIN/wine_run.sh" "$WIN/bench/win/component_stream_bench_win.exe"
collect "win." "$WIN/wine_run.sh" "$WIN/bench/win/service_message_bench_win.exe"

log "the floors: plain and KernelPipe round trips with a peer thread, and the stand-in kernel"
product_state "$WIN" reset
wine_program "$WIN/bench/win/pipe_round_trip_bench.exe"

log "module load, instance creation and memory ($LOAD_RUNS fresh processes)"
product_state "$WIN" reset
for _ in $(seq "$LOAD_RUNS"); do wine_program "$WIN/bench/win/control_load_bench.exe"; done

log "linked control, in process: handshake, requests, OnResult burst, 10 s idle"
product_state "$WIN" install
wine_program "$WIN/bench/win/linked_control_bench.exe"

log "requests and OnResult through the page host (JScript page)"
product_state "$WIN" install
"$WIN/wine_run.sh" regsvr32 /s "$(windows_path "$WIN/VLServiceAdapter.ocx")" >>"$LOG" 2>&1 ||
  echo "    regsvr32 of the control failed" >&2
wine_program "$WIN/pagehost.exe" --url "http://tw.vorlink.com/bench.html" \
  --script "$(windows_path "$ROOT/bench/pages/request_bench.js")"
product_state "$WIN" reset

log "the browser bridge: a portal page in headless Chromium, the extension, VLServiceHost.exe"
product_state "$WIN" install
collect "" node "$ROOT/bench/bridge_bench.mjs" "$WIN" "$NATIVE"
product_state "$WIN" reset

if [ -n "$WIN64" ]; then
  log "the 64-bit twin in the 64-bit prefix: handshake and requests, in process and in a page"
  win32_prefix=${VL_WINEPREFIX:-}
  export VL_WINEPREFIX=$WIN64/wineprefix
  product_state "$WIN64" install
  collect "twin." "$WIN64/wine_run.sh" "$WIN64/bench/win/linked_control_bench.exe" requests
  product_state "$WIN64" install
  "$WIN64/wine_run.sh" regsvr32 /s "$(windows_path "$WIN64/VLServiceAdapter.ocx")" >>"$LOG" 2>&1 ||
    echo "    regsvr32 of the twin failed" >&2
  collect "twin." "$WIN64/wine_run.sh" "$WIN64/pagehost.exe" --url "http://tw.vorlink.com/bench.html" \
    --script "$(windows_path "$ROOT/bench/pages/request_bench.js")"
  product_state "$WIN64" reset
  export VL_WINEPREFIX=$win32_prefix
fi

# ---------------------------------------------------------------------------------------
# The table. A row: label, figure key, unit, reference label, reference (a number or a
# figure key), and optionally a second figure shown in brackets (key, unit). A key that
# appears several times (repeated runs) stands for the median of its values.
rows() {
  cat <<'EOF'
section	Requests through the page host (JScript page, pagehost.exe)
row	SaveData round trip, median	page.save.median	ms	bound: 1.6 x KernelPipe's round trip	pipe.raw.median*1.6
row	  against the plain blocking round trip, median	page.save.median	ms	plain pipes, median	pipe.plain.median
row	  against the stand-in kernel's echo, the same two processes, median	page.save.median	ms	kernel echo, median	pipe.kernel.median
row	SaveData round trip, 99th percentile	page.save.p99	ms	bound: 20 x KernelPipe's median	pipe.raw.median*20
row	LoadData round trip, median	page.load.median	ms	bound: 1.6 x KernelPipe's round trip	pipe.raw.median*1.6
row	  against the plain blocking round trip, median	page.load.median	ms	plain pipes, median	pipe.plain.median
row	  against the stand-in kernel's echo, the same two processes, median	page.load.median	ms	kernel echo, median	pipe.kernel.median
row	LoadData round trip, 99th percentile	page.load.p99	ms	bound: 20 x KernelPipe's median	pipe.raw.median*20
row	Round trips timed per request kind	page.save.count	requests	at least 200	200
row	First OnResult after SendCommand from an idle page, median of 50	page.onresult.first_ms	ms	bound	0.5
row	  99th percentile	page.onresult.first_p99	ms	bound	5
row	50-message burst: last OnResult after SendCommand	page.onresult.burst_ms	ms	bound	100
row	  results of the burst delivered	page.onresult.events	events	all of the burst	50
row	  delivery rate of the burst	page.onresult.events_per_s	events/s	one read per 100 ms tick (before)	10
row	Initialize2 with the kernel started by it	page.initialize_ms	ms	10 s start + 12 s handshake limit	22000
row	1,000 SendCommand in one script turn: the turn	page.commands.turn_ms	ms	1,000 x KernelPipe's round trip	pipe.raw.median*1000
row	  calls answered VLS_OK	page.commands.ok	calls	all of them	1000
row	  echoes raised, in order	page.commands.in_order	events	all of them	1000
row	  the last echo's OnResult	page.commands.last_event_ms	ms	the turn	page.commands.turn_ms
section	The browser bridge: a portal page in headless Chromium, the extension, VLServiceHost.exe under Wine
row	VLService.connect(): a host started for the connection, median of 5	bridge.connect_ms	ms	the control's load + first instance	load.total_ms
row	A call the host answers itself (GetVersion), page to host and back, median	bridge.host.median	ms	the host alone over its pipes, median	bridge.direct.median
row	  99th percentile	bridge.host.p99	ms	the host alone, p99	bridge.direct.p99
row	  against KernelPipe's round trip	bridge.host.median	ms	KernelPipe, median	pipe.raw.median
row	  of it, the page to the extension's service worker and back (echo extension), median	bridge.echo.median	ms	the whole call, median	bridge.host.median
row	  of it, the host alone over its standard pipes, median	bridge.direct.median	ms	the whole call, median	bridge.host.median
row	The host alone, against KernelPipe's round trip	bridge.direct.median	ms	KernelPipe, median	pipe.raw.median
row	50 such calls at once, until the last answer	bridge.host_burst_ms	ms	50 x one call's median	bridge.host.median*50
row	  of it, 50 echoes at once (the page to the service worker and back)	bridge.echo_burst_ms	ms	the 50 calls	bridge.host_burst_ms
row	  of it, the same 50 to the host alone	bridge.direct_burst_ms	ms	the 50 calls	bridge.host_burst_ms
row	SaveData round trip through the bridge to the kernel, median	bridge.save.median	ms	the control through the page host, median	page.save.median
row	  against KernelPipe's round trip	bridge.save.median	ms	KernelPipe, median	pipe.raw.median
row	  of it, the bridge alone (a call the host answers itself)	bridge.host.median	ms	the SaveData, median	bridge.save.median
row	SaveData round trip through the bridge, 99th percentile	bridge.save.p99	ms	the control through the page host, p99	page.save.p99
row	LoadData round trip through the bridge, median	bridge.load.median	ms	the control through the page host, median	page.load.median
row	LoadData round trip through the bridge, 99th percentile	bridge.load.p99	ms	the control through the page host, p99	page.load.p99
row	First OnResult after SendCommand from an idle page, through the bridge, median of 50	bridge.onresult.first_ms	ms	the control through the page host	page.onresult.first_ms
row	50-message burst through the bridge: last OnResult after SendCommand	bridge.onresult.burst_ms	ms	the control through the page host	page.onresult.burst_ms
row	  results of the burst delivered	bridge.onresult.events	events	all of the burst	50
row	1,000 SendCommand without awaiting any, through the bridge: every answer	bridge.commands.answered_ms	ms	the same in one turn of the page host	page.commands.turn_ms
row	  calls answered VLS_OK	bridge.commands.ok	calls	all of them	1000
row	  echoes raised, in order	bridge.commands.in_order	events	all of them	1000
row	  the last echo's OnResult	bridge.commands.last_event_ms	ms	through the page host	page.commands.last_event_ms
section	The floors: one message written and its answer read, against a peer thread that answers at once
row	KernelPipe round trip (the control's pipe ends, overlapped), median	pipe.raw.median	ms	1 ms	1
row	KernelPipe round trip, 99th percentile	pipe.raw.p99	ms	1 ms	1
row	Plain pipes, blocking ReadFile and WriteFile, median	pipe.plain.median	ms	KernelPipe, median	pipe.raw.median
row	Plain pipes, 99th percentile	pipe.plain.p99	ms	KernelPipe, p99	pipe.raw.p99
row	Stand-in kernel echo round trip (KernelPipe), median	pipe.kernel.median	ms	KernelPipe, median	pipe.raw.median
row	Stand-in kernel echo round trip, 99th percentile	pipe.kernel.p99	ms	KernelPipe, p99	pipe.raw.p99
section	The control in process (direct calls, no script engine)
row	Handshake: Initialize2 to VLS_OK after the page's first call, kernel running, median	handshake.median	ms	bound	10
row	Handshake, 99th percentile (10 links)	handshake.p99	ms	bound	20
row	  the first call of each page (GetVersion), which runs the kernel's registration, median	firstcall.median	ms	the handshake	handshake.median
row	SaveData round trip, median (200)	inproc.save.median	ms	bound: 1.6 x KernelPipe's round trip	pipe.raw.median*1.6
row	  against the plain blocking round trip, median	inproc.save.median	ms	plain pipes, median	pipe.plain.median
row	  against the stand-in kernel's echo, the same two processes, median	inproc.save.median	ms	kernel echo, median	pipe.kernel.median
row	SaveData round trip, 99th percentile	inproc.save.p99	ms	bound: 20 x KernelPipe's median	pipe.raw.median*20
row	LoadData round trip, median (200)	inproc.load.median	ms	bound: 1.6 x KernelPipe's round trip	pipe.raw.median*1.6
row	  against the plain blocking round trip, median	inproc.load.median	ms	plain pipes, median	pipe.plain.median
row	  against the stand-in kernel's echo, the same two processes, median	inproc.load.median	ms	kernel echo, median	pipe.kernel.median
row	LoadData round trip, 99th percentile	inproc.load.p99	ms	bound: 20 x KernelPipe's median	pipe.raw.median*20
row	First OnResult after SendCommand from an idle thread, median of 50	inproc.onresult.first_ms	ms	bound	0.5
row	50-message burst: last OnResult after SendCommand	inproc.onresult.burst_ms	ms	bound	100
row	  results of the burst delivered	inproc.onresult.events	events	all of the burst	50
row	CPU of the process with a linked idle control, 10 s (counted in 10 ms ticks)	idle.linked.cpu_ms	ms	before (polling): 20 ms	20
row	  wake-ups of its thread in those 10 s	idle.linked.wakeups	wake-ups	the 100 ms safety timer	100
row	  the same process before any instance: CPU, 10 s	idle.unlinked.cpu_ms	ms	wall time	idle.unlinked.wall_ms
row	  and wake-ups	idle.unlinked.wakeups	wake-ups	—	
section	Soak: 20 linked controls in one process, 1,000 SaveData each (after a first 10 each)
row	Requests	soak.requests	requests	20 x 1,000	20000
row	  time for all	soak.seconds	s	—	
row	Handles after	soak.after.handles	handles	before	soak.before.handles
row	Windows of the thread after	soak.after.windows	windows	before	soak.before.windows
row	GDI objects after	soak.after.gdi	objects	before	soak.before.gdi
row	USER objects after	soak.after.user	objects	before	soak.before.user
row	Committed private memory after	soak.after.committed_kib	KiB	before	soak.before.committed_kib
row	Heap blocks in use after	soak.after.heap_kib	KiB	before	soak.before.heap_kib
section	Module load and instances (median of 5 fresh processes)
row	LoadLibrary of the .ocx	load.library_ms	ms	the former 100 ms polling step (no stated bound)	100
row	DllGetClassObject	load.class_object_ms	ms	the former 100 ms polling step (no stated bound)	100
row	First CreateInstance (form, window, control initialization)	load.first_instance_ms	ms	the former 100 ms polling step (no stated bound)	100
row	Load + class object + first instance	load.total_ms	ms	the former 100 ms polling step (no stated bound)	100
row	Further CreateInstance, median of 49	load.later_instance_ms	ms	first instance	load.first_instance_ms
row	Private memory of 1 instance: heap blocks in use	memory.one.heap_kib	KiB	—	
row	Private memory per instance with 50: heap blocks in use	memory.fifty.heap_kib	KiB	1 instance	memory.one.heap_kib
row	Private memory of 1 instance: committed private regions	memory.one.committed_kib	KiB	—	
row	Private memory per instance with 50: committed private regions	memory.fifty.committed_kib	KiB	1 instance	memory.one.committed_kib
section	Native core (clang -O2, no sanitizers; Windows build under Wine in brackets)
row	Message parse, typical messages	native.parse.typical.messages_per_s	msg/s	10 msg/s the polling pump read	10	win.parse.typical.messages_per_s	msg/s
row	Message parse, typical messages, bytes	native.parse.typical.mb_per_s	MB/s	polling pump's ceiling 10 x 4,096 B/s	0.04096	win.parse.typical.mb_per_s	MB/s
row	Message parse, 4,093-byte messages	native.parse.largest.messages_per_s	msg/s	10 msg/s the polling pump read	10	win.parse.largest.messages_per_s	msg/s
row	Message parse, 4,093-byte messages, bytes	native.parse.largest.mb_per_s	MB/s	polling pump's ceiling 10 x 4,096 B/s	0.04096	win.parse.largest.mb_per_s	MB/s
row	Form definition load (ReadComponentStream)	native.stream.form.load_us	us	first CreateInstance	load.first_instance_ms*1000	win.stream.form.load_us	us
row	Form definition load, bytes	native.stream.form.mb_per_s	MB/s	—		win.stream.form.mb_per_s	MB/s
row	Synthetic stream load (500 child records)	native.stream.synthetic.load_us	us	the former 100 ms polling step	100000	win.stream.synthetic.load_us	us
row	Synthetic stream load, bytes	native.stream.synthetic.mb_per_s	MB/s	—		win.stream.synthetic.mb_per_s	MB/s
row	Service host: a usual call read (SaveData, 53 bytes)	native.service.small_us	us	—		win.service.small_us	us
row	Service host: a message of 95,000 members (902 KB) read and refused	native.service.members95000_us	us	a usual call	native.service.small_us	win.service.members95000_us	us
row	  against a call of the same size with one long value	native.service.members95000_us	us	the long call	native.service.long_value_us	win.service.long_value_us	us
EOF
  [ -n "$WIN64" ] || return 0
  cat <<'EOF'
section	The 64-bit twin in the 64-bit prefix, against the 32-bit module in its own prefix
row	Handshake: Initialize2 to VLS_OK, kernel running, median	twin.handshake.median	ms	32-bit module	handshake.median
row	Handshake, 99th percentile (10 links)	twin.handshake.p99	ms	32-bit module	handshake.p99
row	SaveData round trip in process, median	twin.inproc.save.median	ms	32-bit module	inproc.save.median
row	LoadData round trip in process, median	twin.inproc.load.median	ms	32-bit module	inproc.load.median
row	OnResult delivery of a 50-message burst, in process	twin.inproc.onresult.events_per_s	events/s	32-bit module	inproc.onresult.events_per_s
row	SaveData round trip through the page host, median	twin.page.save.median	ms	32-bit module	page.save.median
row	LoadData round trip through the page host, median	twin.page.load.median	ms	32-bit module	page.load.median
row	OnResult delivery of a 50-message burst, page host	twin.page.onresult.events_per_s	events/s	32-bit module	page.onresult.events_per_s
row	Initialize2 with the kernel started by it, page host	twin.page.initialize_ms	ms	32-bit module	page.initialize_ms
EOF
}

# Renders the rows against the figures; the keys without a figure go to $WORK/missing.txt.
render_table() {
  rows | awk -F'\t' -v figures="$FIGURES" -v missing="$WORK/missing.txt" '
    function fmt(x,   a) {
      a = x < 0 ? -x : x
      if (a == 0) return "0"
      if (a >= 1000000) return sprintf("%.3g", x)
      if (a >= 100) return sprintf("%.0f", x)
      if (a >= 10) return sprintf("%.1f", x)
      if (a >= 0.01) return sprintf("%.3g", x)
      return sprintf("%.2g", x)
    }
    function median(key,   n, i, j, t, v) {
      n = split(values[key], v, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    function known(key) { return key in values }
    # A reference: a number, or a figure key with an optional "*factor".
    function reference(bound,   parts, k) {
      if (bound ~ /^[0-9.]+$/) return bound + 0
      split(bound, parts, "*"); k = parts[1]
      if (!known(k)) return ""
      return median(k) * (parts[2] == "" ? 1 : parts[2])
    }
    BEGIN {
      while ((getline line < figures) > 0) {
        split(line, f, " ")
        values[f[1]] = (f[1] in values) ? values[f[1]] " " f[2] : f[2]
      }
      print "| Measure | Figure | Against | Ratio |"
      print "|---|---:|---|---:|"
    }
    $1 == "section" { printf "| **%s** | | | |\n", $2; next }
    $1 == "row" {
      label = $2; key = $3; unit = $4; against = $5; ref = $6
      if (!known(key)) {
        print key > missing
        printf "| %s | not measured | %s | |\n", label, against
        next
      }
      x = median(key)
      figure = fmt(x) " " unit
      if ($7 != "") figure = figure (known($7) ? " (" fmt(median($7)) " " $8 ")" : " (Windows: not measured)")
      if ($7 != "" && !known($7)) print $7 > missing
      r = ref == "" ? "" : reference(ref)
      if (ref != "" && r == "") print ref > missing
      if (ref ~ /^[0-9.]+$/ || r == "") shown = against
      else shown = against " " fmt(r) " " unit
      ratio = (r == "" || r == 0) ? "—" : fmt(x / r)
      printf "| %s | %s | %s | %s |\n", label, figure, shown, ratio
    }'
}

: >"$WORK/missing.txt"
TABLE=$(render_table)
ELAPSED=$SECONDS
COMMAND="./run bench"
[ -n "${VL_BUILD_DIR:-}" ] && COMMAND="VL_BUILD_DIR=$VL_BUILD_DIR ./run bench"

{
  echo "# Benchmark results"
  echo
  echo "Produced by \`$COMMAND\` on $STARTED (the benchmarks took ${ELAPSED} s)."
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores,"
  echo "load average $LOAD_AT_START at the start; $(wine --version 2>/dev/null), $(uname -sr)."
  echo
  echo "Ratio = figure / the quantity in \"Against\". Latencies are times of whole calls as the"
  echo "caller sees them; the page host's are read by the page from the performance counter."
  echo
  echo "$TABLE"
  echo
  echo "Notes:"
  echo "- The control waits instead of polling: a request waits on the read pipe (a read is"
  echo "  always outstanding) while the thread's messages run; the response pump is woken by a"
  echo "  message posted when kernel bytes arrive, its 100 ms timer staying as a safety net. Two"
  echo "  floors, measured in the same run: KernelPipe's round trip is what the pipes cost as the"
  echo "  control uses them (peer thread answering at once, both ends reading through the"
  echo "  control's KernelPipe and waiting on its read's event, as a request does); the plain"
  echo "  round trip, each end blocking in ReadFile and WriteFile, is the physical floor. Under"
  echo "  Wine a blocking read waits on the same kind of event inside, and the two come out alike."
  echo "  The stand-in kernel waits on its pipes as KernelPipe does."
  echo "- The handshake is timed after the page's first call (GetVersion), which runs the kernel's"
  echo "  registration (holding and checking the signed kernel, then starting it with /regserver),"
  echo "  and after that run has ended; the first call is its own row. The first OnResult is the"
  echo "  median of 50 commands, each sent from a page (or thread) that was idle for 5 ms."
  echo "- A thousand commands in one script turn: the kernel echoes each one and writes while it"
  echo "  does not read, so the turn only goes through because the control reads while it writes;"
  echo "  the echoes are raised after the turn. Through the bridge the page sends all of them"
  echo "  without awaiting any."
  echo "- Bounds: the rows marked \"bound\" are met when the ratio is at most 1."
  echo "- A SaveData round trip includes the stand-in kernel's store write (one line appended"
  echo "  to its file); LoadData shows the link alone."
  echo "- GDI and USER object counts read 0 under Wine (GetGuiResources is not implemented); the"
  echo "  thread's windows are counted instead, message-only windows included. Handles are this"
  echo "  process's entries of the system handle table (GetProcessHandleCount reads 0 under Wine)."
  echo "- CPU time is the process's own (GetProcessTimes, which Wine counts in 10 ms ticks and"
  echo "  only for the calling process, so the kernel's is not shown); each pipe call is also"
  echo "  served by the wineserver, whose time is not counted."
  echo "- Private memory per instance: the growth of the heaps' blocks in use (HeapWalk), and of"
  echo "  the committed private regions (VirtualQuery), which a heap commits in larger steps."
  echo "  Wine leaves PROCESS_MEMORY_COUNTERS_EX.PrivateUsage at 0; memory on Wine's Unix side"
  echo "  (X11 client data, the wineserver's window records) is in neither."
  echo "- The browser bridge (bench/bridge_bench.mjs): where a call's time goes. A call from the page"
  echo "  takes three legs each way: the page's MessagePort to the content script and the extension's"
  echo "  messaging to its service worker (another process), measured alone by the benchmark's echo"
  echo "  extension (bench/echo_extension, the same relay answering in its worker); the worker's native"
  echo "  port through the browser process to the host's standard input and back, which is what is"
  echo "  left; and VLServiceHost.exe under Wine itself (framing, JSON, the contract's checks, the"
  echo "  answer, and Wine's pipe reads and writes), measured alone over its pipes. The \"of it\" rows"
  echo "  give each measured leg's share of the whole call. A request that reaches the kernel"
  echo "  adds the link's round trip, which the control's rows above show (in process, and through"
  echo "  the page host). The two rows of 50 calls at once show where a burst waits: the host alone"
  echo "  answers them back to back, and what the page's burst takes beyond that is the browser"
  echo "  passing the messages one by one. connect() starts one host process per connection under"
  echo "  Wine. Page times are read with performance.now(), which Chromium coarsens to 0.1 ms."
  # Sections that other commands write (./run package's sizes, the long fuzzing run's figures)
  # stay; the sizes of the last `./run package` of this tree take the place of the earlier ones.
  sizes=$WIN/../package_sizes.md
  [ -f "$RESULTS" ] && sed -n '/^## /,$p' "$RESULTS" |
    awk -v fresh="$([ -f "$sizes" ] && echo 1)" '/^## / { skip = fresh && $0 == "## Package" } !skip' | sed '1s/^/\n/'
  [ -f "$sizes" ] && { echo; cat "$sizes"; }
} >"$RESULTS.new"

echo
cat "$RESULTS.new"
mv "$RESULTS.new" "$RESULTS"
echo
echo "written to $RESULTS (program output: $LOG)"

status=0
if [ -s "$WORK/missing.txt" ]; then
  echo "bench: not measured: $(sort -u "$WORK/missing.txt" | tr '\n' ' ')" >&2
  status=1
fi
if [ ${#FAILED[@]} -gt 0 ]; then
  echo "bench: programs that failed: ${FAILED[*]}" >&2
  status=1
fi
exit "$status"
