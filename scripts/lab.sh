#!/usr/bin/env bash
# The network lab: simulated analyzers on private 10.x networks that exist
# only in network namespaces built for one run, and one command run in the
# lab's PC namespace. Everything is removed on exit, also after Ctrl-C or a
# failing command. Needs root; exits 77 (skip, for CTest) without running the
# command when network namespaces cannot be created here.
#
# scripts/lab.sh [options] -- COMMAND [ARGS...]
#   --build DIR          build directory holding tools/sim/fieldtrace-analyzer-sim (default: ./build)
#   --net A.B.C[,pc=H][,mac=MAC]
#                        a network A.B.C.0/24 of the PC (repeatable; order = interface order in
#                        the PC namespace). The PC's own address there is A.B.C.H (default H=1);
#                        mac= sets the hardware address of the PC's adapter on that network.
#   --analyzer FAMILY@ADDRESS[,mac=MAC][,silent][,KEY=VALUE|FLAG]...
#                        a simulated analyzer (fieldtrace-analyzer-sim --family FAMILY --address
#                        ADDRESS --allow-any-address --KEY=VALUE --FLAG) in its own namespace.
#                        ADDRESS inside a --net network lives on that network; outside every one
#                        it is joined to the first network's segment, with a host route and a
#                        permanent neighbour entry in the PC namespace. mac defaults to the
#                        family's first manufacturer prefix (Alvra 00:c0:3a, Belko 00:90:b8,
#                        Cendra 00:c0:1b) followed by the address's last three octets; another
#                        mac (02:00:00:00:00:01) makes a host of no known family. silent starts
#                        no simulator: the host answers pings but not SCPI. Other keys go to the
#                        simulator: serial=, firmware=, model=, options=HW02,FW07 (a part
#                        without "=" that is no lower-case flag continues the list),
#                        missing-option=CODE, gps=STATE, port=N, old-firmware, ...
#   --local FAMILY[,KEY=VALUE|FLAG]...
#                        a simulator on 127.0.0.1 inside the PC namespace (the analyzer's own computer)
#   --ready-timeout S    seconds to wait for every simulator to accept connections (default 10)
#
# The command sees: FIELDTRACE_LAB=1, FIELDTRACE_LAB_NAMESPACE (the PC
# namespace's name, for ip netns exec), FIELDTRACE_LAB_NETS="10.1.1 10.2.2"
# (--net order), FIELDTRACE_LAB_ADDRESSES (the PC's address on each),
# FIELDTRACE_LAB_PC_MACS (the mac= of the networks that have one),
# FIELDTRACE_LAB_ANALYZERS="ADDRESS ..." (every --analyzer, silent ones too)
# and FIELDTRACE_LAB_MACS="ADDRESS=MAC ...".
#
# Exit status: the command's; 77 when no lab can be built here; 2 for bad
# options; 1 when the lab could not be set up; 130 / 143 after SIGINT / SIGTERM.
#
# Example:
#   scripts/lab.sh --net 10.1.1 --net 10.2.2 --analyzer Alvra@10.1.1.20 \
#     --analyzer Belko@10.2.2.30,serial=100123 -- build/tools/cli/fieldtrace-cli discover
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lablib.bash"

usage() { sed -n '/^# scripts\/lab.sh/,/^# Example/p' "$0" | sed 's/^# \{0,1\}//; /^Example/d'; }

build=./build
ready_timeout=10
nets=()
analyzers=()
locals=()
while (($#)); do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --build | --net | --analyzer | --local | --ready-timeout)
      if (($# < 2)); then lab_error "$1 needs a value"; exit 2; fi
      case $1 in
        --build) build=$2 ;;
        --net) nets+=("$2") ;;
        --analyzer) analyzers+=("$2") ;;
        --local) locals+=("$2") ;;
        --ready-timeout) ready_timeout=$2 ;;
      esac
      shift 2 ;;
    --) shift; break ;;
    *) lab_error "unknown option '$1' (see --help)"; exit 2 ;;
  esac
done
if (($# == 0)); then lab_error "no command given (scripts/lab.sh [options] -- COMMAND [ARGS...])"; exit 2; fi
if ((${#nets[@]} == 0)); then lab_error "at least one --net is needed"; exit 2; fi
if ! [[ $ready_timeout =~ ^[0-9]+$ ]]; then lab_error "--ready-timeout takes whole seconds"; exit 2; fi
if ((${#analyzers[@]} + ${#locals[@]} > 0)) && [[ ! -x $build/tools/sim/fieldtrace-analyzer-sim ]]; then
  lab_error "no simulator in $build (build first, or give --build DIR)"
  exit 2
fi

trap lab_end EXIT
trap 'lab_interrupt INT; exit 130' INT
trap 'lab_interrupt TERM; exit 143' TERM

status=0
lab_begin "$build" || exit $?
for option in "${nets[@]}"; do lab_net "$option" || exit $?; done
for option in "${analyzers[@]}"; do lab_analyzer "$option" || exit $?; done
for option in "${locals[@]}"; do lab_local "$option" || exit $?; done
lab_wait_ready "$ready_timeout" || exit 1
lab_exec "$@" || status=$?
exit $status
