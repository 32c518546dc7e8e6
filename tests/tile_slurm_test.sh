#!/usr/bin/env bash
# The tiles of a 4 x 4 tiling as a Slurm array job on a one-node cluster this test starts
# (munge with a private key and socket, slurmctld and slurmd with a private slurm.conf on free
# loopback ports, all state under the test's temporary folder) and stops by process id; the
# stitched image must be the in-process run's, byte for byte.
# Usage: tile_slurm_test.sh AERIAL_TOOL
# Skips (status 77) when the Slurm or munge binaries are absent or the test is not root.
set -euo pipefail
tool=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)

for b in munged slurmctld slurmd sbatch squeue sinfo; do
  if ! command -v "$b" >/dev/null && [ ! -x "/usr/sbin/$b" ]; then
    echo "SKIP: $b is not installed (slurm-wlm and munge, scripts/install-deps.sh)"; exit 77
  fi
done
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: the one-node cluster runs as root"; exit 77; fi
export PATH="$PATH:/usr/sbin"

D=$(mktemp -d /tmp/aerial-slurm.XXXXXX)
pids=()
stop() {
  for f in "$D/spool/slurmd.pid" "$D/state/slurmctld.pid" "$D/munge/munged.pid"; do
    [ -s "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
  done
  sleep 0.5
  for f in "$D/spool/slurmd.pid" "$D/state/slurmctld.pid" "$D/munge/munged.pid"; do
    [ -s "$f" ] && kill -9 "$(cat "$f")" 2>/dev/null || true
  done
  rm -rf "$D"
}
trap stop EXIT

fail() { echo "FAIL: $*"; for l in "$D"/log/*.log; do echo "== $l"; tail -20 "$l"; done; exit 1; }

mkdir -p "$D/munge" "$D/state" "$D/spool" "$D/log" "$D/work"
dd if=/dev/urandom of="$D/munge/munge.key" bs=1024 count=1 status=none
chmod 700 "$D/munge"; chmod 400 "$D/munge/munge.key"
munged -f --key-file="$D/munge/munge.key" --socket="$D/munge/munge.socket" \
  --pid-file="$D/munge/munged.pid" --seed-file="$D/munge/seed" --log-file="$D/log/munged.log"

read -r p1 p2 < <(/usr/bin/python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
host=$(hostname)
cat > "$D/slurm.conf" <<CONF
ClusterName=aerialtest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$p1
SlurmdPort=$p2
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$D/munge/munge.socket
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$D/state
SlurmdSpoolDir=$D/spool
SlurmctldPidFile=$D/state/slurmctld.pid
SlurmdPidFile=$D/spool/slurmd.pid
SlurmctldLogFile=$D/log/slurmctld.log
SlurmdLogFile=$D/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/builtin
MpiDefault=none
ReturnToService=2
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
SlurmctldTimeout=30
SlurmdTimeout=30
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$D/slurm.conf"
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
for _ in $(seq 100); do
  sinfo -h -o %t 2>/dev/null | grep -q idle && break
  sleep 0.2
done
sinfo -h -o %t | grep -q idle || fail "the node did not come up"

w="$D/work"
"$here/tile_layouts.py" pinch "$w/pinch.gds"
for d in inproc slurm; do
  "$tool" tile "$w/pinch.gds" "$w/$d" --cell TOP --layer 1/0 --region 0,0,4,4 --tile 1 -q
done
[ "$(/usr/bin/python3 -c "import json; print(len(json.load(open('$w/slurm/tiles.json'))['tiles']))")" = 16 ] ||
  fail "a 4 x 4 tiling expected"
"$tool" run-tiles "$w/inproc" -q
"$tool" stitch "$w/inproc" -q

"$tool" stitch "$w/slurm" -q 2>"$w/refusal" && fail "stitch ran before the tiles"
grep -q "16 of 16 tiles are not done" "$w/refusal" || fail "stitch's refusal: $(cat "$w/refusal")"
job=$("$tool" run-tiles "$w/slurm" --slurm --submit --tasks 4 -q)
[[ "$job" =~ ^[0-9]+$ ]] || fail "no job id from --submit: $job"
grep -q -- "--array=0-3" "$w/slurm/run-tiles.sbatch" || fail "the script is no array of 4"
for _ in $(seq 600); do
  squeue -h -j "$job" 2>/dev/null | grep -q . || break
  sleep 0.2
done
squeue -h -j "$job" 2>/dev/null | grep -q . && fail "the array job did not finish"
"$tool" stitch "$w/slurm" -q || fail "stitch after the array job"
for f in stitched.npy stitched.tif stitched.json; do
  cmp "$w/inproc/$f" "$w/slurm/$f" || fail "$f differs between in process and Slurm"
done
echo "PASS: 16 tiles as a 4-task array job, the stitched image as in process"
