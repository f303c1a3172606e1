#!/usr/bin/env bash
# Runs the README's farm conversion for real: slurm-farm.sh <marvik> <work folder>
# Brings up a one-node Slurm cluster of its own (munged, slurmctld, slurmd; configuration, state
# and logs in the work folder, free loopback ports, no cgroups), generates a library of 42 BVH
# files of which two do not parse, submits the job array below over it, and checks that every
# file was converted by exactly the task its shard gives it, that the outputs equal those of one
# `marvik convert` of the same library, and that each failure is reported by its task, which
# fails. The daemons it started are stopped on every way out.
set -euo pipefail

[ $# -eq 2 ] || {
  echo "usage: $0 <marvik> <work folder>" >&2
  exit 2
}
marvik=$(realpath "$1")
work=$(realpath -m "$2")
tasks=4
files=42

fail() {
  echo "farm: $*" >&2
  exit 1
}

[ -x "$marvik" ] || fail "no program at $1"
for program in munged mungekey slurmctld slurmd sbatch scontrol squeue sinfo scancel ss pgrep; do
  command -v "$program" >/dev/null || fail "$program is missing (tools/install-deps.sh farm installs it)"
done
# slurmd starts each task as the user who submitted it, which only root can do.
if [ "$(id -u)" -ne 0 ]; then
  [ -n "${CI:-}" ] && fail "the cluster's daemons must run as root"
  echo "farm: skipped: the cluster's daemons must run as root (CI runs this step as root)"
  exit 0
fi

rm -rf "$work"
mkdir -p "$work"/{slurm/state,slurm/spool,log,library,farm,single,tasks}
cluster=$work/slurm
# munged refuses a socket folder that others cannot enter; a socket path has at most 107 bytes.
munge=$work/munge
if [ ${#munge} -gt 80 ]; then munge=$(mktemp -d /tmp/marvik-munge.XXXXXX); fi
mkdir -p "$munge" && chmod 755 "$munge"

pids=()
# The slurmstepd processes of this cluster: they hold its slurmd's log open.
our_steps() {
  local pid
  for pid in $(pgrep -x slurmstepd); do
    ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF -- "-> $work/log/slurmd.log" && echo "$pid"
  done
  return 0
}
stop() {
  local status=$? job
  # The job array, if submitted: ended, or cut short by a failure or a signal.
  job=$(head -n 1 "$work/job.txt" 2>/dev/null || true)
  if [ -n "$job" ]; then
    scancel "$job" 2>/dev/null || true
    local deadline=$((SECONDS + 20))
    while [ -n "$(squeue -h -j "$job" 2>/dev/null)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.5; done
  fi
  # A task's slurmstepd outlives it for a moment, and outlives slurmd if stopped: wait for ours.
  local deadline=$((SECONDS + 20))
  while [ -n "$(our_steps)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
  pids+=($(our_steps))
  local pid i
  # In reverse order of starting: slurmd, slurmctld, munged.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[$i]}
    kill "$pid" 2>/dev/null || continue
    local deadline=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ "$munge" = "$work/munge" ] || rm -rf "$munge"
  if [ $status -ne 0 ]; then
    echo "farm: logs in $work/log" >&2
  fi
  exit $status
}
trap stop EXIT
trap 'exit 130' INT TERM

# Waits up to <seconds> for <command...> to succeed.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "$what within $seconds s (logs in $work/log)"
    sleep 0.2
  done
}

free_port() {
  local port try
  for ((try = 0; try < 100; try++)); do
    port=$((20000 + RANDOM % 40000))
    if [ -z "$(ss -Htan "sport = :$port")" ] && [ "$port" != "${1:-}" ]; then
      echo "$port"
      return
    fi
  done
  fail "no free port"
}
controller_port=$(free_port)
node_port=$(free_port "$controller_port")

start=$SECONDS
mungekey -c -k "$munge/munge.key"
munged -F --force --socket="$munge/munge.socket" --key-file="$munge/munge.key" \
  --pid-file="$munge/munged.pid" --seed-file="$munge/munged.seed" \
  --log-file="$work/log/munged.log" >"$work/log/munged.out" 2>&1 &
pids+=($!)
wait_for 10 "munged did not answer" munge -S "$munge/munge.socket" -n

export SLURM_CONF=$cluster/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=marvikfarm
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$munge/munge.socket
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=farm1 NodeAddr=127.0.0.1 NodeHostname=$(hostname) CPUs=$(nproc) State=UNKNOWN
PartitionName=farm Nodes=farm1 Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -f "$SLURM_CONF" >"$work/log/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -N farm1 -f "$SLURM_CONF" >"$work/log/slurmd.out" 2>&1 &
pids+=($!)
node_idle() { [ "$(sinfo -h -n farm1 -o %t)" = idle ]; }
wait_for 60 "the node did not come up idle" node_idle
echo "farm: one-node Slurm cluster up in $((SECONDS - start)) s (slurmctld :$controller_port, slurmd :$node_port)"

# The library: takes of 3 to 44 frames of the humanoid sample in six folders; the files at
# sorted positions 9 and 30 (shards 1 and 2) do not parse.
library=$work/library
sample=$(dirname "$0")/../examples/humanoid.bvh
for ((i = 0; i < files; i++)); do
  mkdir -p "$library/set$((i % 6))"
  echo "$library/set$((i % 6))/take$(printf %02d "$i").bvh"
done | LC_ALL=C sort >"$work/files.txt"
mapfile -t sorted <"$work/files.txt"
broken=("${sorted[9]}" "${sorted[30]}")
for ((i = 0; i < files; i++)); do
  awk -v n=$((3 + i)) '/^Frames:/ { print "Frames: " n; next }
    /^Frame Time:/ { print; motion = 1; next }
    motion { if (k++ < n) print; next }
    { print }' "$sample" >"${sorted[$i]}"
done
printf 'not a motion capture file\n' >"${broken[0]}"
sed -i '0,/CHANNELS 6/s/CHANNELS 6/CHANNELS six/' "${broken[1]}"

# The README's job array, as a farm user would submit it.
cat >"$work/convert.sbatch" <<EOF
#!/bin/bash
#SBATCH --array=0-3
#SBATCH --output=$work/tasks/task-%a.out
$marvik convert --shard \$SLURM_ARRAY_TASK_ID/$tasks --out $work/farm $library
EOF
start=$SECONDS
set +e
timeout 180 sbatch --wait --parsable "$work/convert.sbatch" >"$work/job.txt"
submitted=$?
set -e
array=$(head -n 1 "$work/job.txt")
[ -n "$array" ] || fail "sbatch did not submit the job array"
[ $submitted -ne 124 ] || fail "job $array did not end within 180 s"
echo "farm: job array $array ended in $((SECONDS - start)) s (sbatch --wait exit $submitted)"

set +e
timeout 300 "$marvik" convert --out "$work/single" "$library" >"$work/single.out" 2>&1
single=$?
set -e
[ $single -eq 1 ] || fail "one-process convert exited $single, expected 1 (two files fail)"

problems=()
# Each file reported once, by the task its sorted position gives it, and failed exactly when broken.
: >"$work/reported.txt"
for ((task = 0; task < tasks; task++)); do
  out=$work/tasks/task-$task.out
  state=$(scontrol show job -o "$array" | grep -o "ArrayTaskId=$task JobName=.*" |
    sed -n 's/.* JobState=\([A-Z_]*\) .* ExitCode=\([0-9:]*\) .*/\1 \2/p' || true)
  if [ ! -f "$out" ]; then
    problems+=("task $task left no output (${state:-no such task})")
    continue
  fi
  sed -n 's/^\[[0-9]*\/[0-9]*\] \(converted\|failed\) \(.*\)$/\2 \1/p' "$out" |
    sed 's/ (.* warnings\?)$//' | while read -r path outcome; do echo "$task $outcome $path"; done \
      >>"$work/reported.txt"
  expected_failures=0
  for ((i = task; i < files; i += tasks)); do
    path=${sorted[$i]}
    outcome=converted
    if [ "$path" = "${broken[0]}" ] || [ "$path" = "${broken[1]}" ]; then
      outcome=failed
      expected_failures=$((expected_failures + 1))
      grep -qF "  $path: " "$out" || problems+=("task $task does not list $path among its failures")
    fi
    grep -qxF "$task $outcome $path" "$work/reported.txt" ||
      problems+=("task $task did not report $path as $outcome")
  done
  if [ $expected_failures -gt 0 ]; then
    [ "$state" = "FAILED 1:0" ] || problems+=("task $task is \"$state\", expected FAILED with exit 1")
  else
    [ "$state" = "COMPLETED 0:0" ] || problems+=("task $task is \"$state\", expected COMPLETED")
  fi
  echo "farm: task $task: $state; $(grep -c "^$task " "$work/reported.txt" || true) files, $expected_failures failed"
done
duplicates=$(cut -d ' ' -f 3- "$work/reported.txt" | sort | uniq -d)
[ -z "$duplicates" ] || problems+=("converted more than once: $duplicates")
reported=$(cut -d ' ' -f 3- "$work/reported.txt" | LC_ALL=C sort -u | wc -l)
[ "$reported" -eq $files ] || problems+=("$reported of $files files reported by the tasks")
if ! diff -r "$work/single" "$work/farm" >"$work/outputs.diff"; then
  problems+=("the farm's outputs differ from one process's: $(head -c 2000 "$work/outputs.diff")")
fi
converted=$(find "$work/farm" -name '*.ma' | wc -l)
[ "$converted" -eq $((files - 2)) ] || problems+=("$converted scenes written, expected $((files - 2))")

if [ ${#problems[@]} -gt 0 ]; then
  printf 'farm: %s\n' "${problems[@]}" >&2
  exit 1
fi
echo "farm: $files files converted once each by their tasks ($converted scenes, equal to one" \
  "process's); ${broken[0]#"$library"/} and ${broken[1]#"$library"/} reported by their tasks"
