# The network lab's plumbing, sourced by scripts/lab.sh and by anything else
# that wants simulated analyzers on a LAN of their own (the demo).
#
# A lab is a set of network namespaces named after this shell's pid
# (ftlab<pid>-pc, ftlab<pid>-a1, ...), so that parallel labs never collide:
# the PC namespace holds one bridge per network ("lan0", "lan1", ... in the
# order the networks were added) carrying the PC's address; each analyzer has
# a namespace of its own whose "eth0" is joined to its network's bridge by a
# veth pair, and runs fieldtrace-analyzer-sim there. Every ip command names
# its namespace: nothing is ever configured in the namespace the caller runs in.
#
# Use: lab_begin BUILD_DIR (status 77: no lab possible here), lab_net SPEC...,
# then lab_analyzer SPEC... and lab_local SPEC..., lab_wait_ready SECONDS,
# lab_exec COMMAND..., and lab_end from an EXIT trap. Errors are printed on
# stderr and returned as status 1 (2 for a bad SPEC).

LAB_ID=ftlab$$
LAB_PC=$LAB_ID-pc
LAB_SIM=
LAB_WORK=
LAB_NAMESPACES=()
LAB_PIDS=()            # simulators, by pid
LAB_SIM_LOGS=()        # their output, one file each, same order
LAB_SIM_TARGETS=()     # "address" each simulator listens on, same order
LAB_NETS=()            # "10.1.1", in the order of the bridges
LAB_PC_ADDRESSES=()    # the PC's address on each of them
LAB_PC_MACS=()         # the hardware addresses set with mac=
LAB_ANALYZERS=()       # every analyzer host's address
LAB_ANALYZER_MACS=()   # "address=mac" of each
LAB_COMMAND_PID=

# Manufacturer prefixes of the catalogue's families (fieldtrace-cli catalog).
declare -A LAB_FAMILY_PREFIX=([alvra]=00:c0:3a [belko]=00:90:b8 [cendra]=00:c0:1b)
declare -A LAB_FAMILY_NAME=([alvra]=Alvra [belko]=Belko [cendra]=Cendra)

lab_error() { echo "lab: $*" >&2; }

# ip with its error kept for the message; the namespace is always named by the caller.
lab_ip() {
  local out
  if ! out=$(ip "$@" 2>&1); then
    lab_error "ip $*: $out"
    return 1
  fi
}

# A 10.x address of four octets, each 0..255.
lab_is_ten_address() {
  local octet='(0|[1-9][0-9]{0,2})' parts
  [[ $1 =~ ^10\.$octet\.$octet\.$octet$ ]] || return 1
  IFS=. read -r -a parts <<<"$1"
  ((parts[1] <= 255 && parts[2] <= 255 && parts[3] <= 255))
}

# A unicast hardware address, printed in lower case.
lab_mac() {
  local mac=${1,,}
  [[ $mac =~ ^([0-9a-f]{2}:){5}[0-9a-f]{2}$ ]] || return 1
  (((16#${mac:0:2} & 1) == 0)) || return 1
  echo "$mac"
}

# Whether a process still runs (a zombie does not).
lab_alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  [[ ${stat##*) } != Z* ]]
}

# lab_stop PID...: TERM, then KILL for whatever still runs after three seconds.
lab_stop() {
  local pid left i
  for pid in "$@"; do kill -TERM "$pid" 2>/dev/null || true; done
  for i in $(seq 1 30); do
    left=0
    for pid in "$@"; do lab_alive "$pid" && left=1; done
    ((left)) || return 0
    sleep 0.1
  done
  for pid in "$@"; do kill -KILL "$pid" 2>/dev/null || true; done
}

lab_add_namespace() {
  lab_ip netns add "$1" || return 1
  LAB_NAMESPACES+=("$1")
  lab_ip -n "$1" link set lo up
}

# lab_begin BUILD_DIR: checks that this machine allows a lab (root, network
# namespaces, bridges and veth pairs) and creates the PC namespace.
lab_begin() {
  LAB_SIM=$1/tools/sim/fieldtrace-analyzer-sim
  if ((EUID != 0)); then
    lab_error "the network lab needs root (network namespaces)"
    return 77
  fi
  if ! command -v ip >/dev/null; then
    lab_error "the network lab needs iproute2 (ip)"
    return 77
  fi
  LAB_WORK=$(mktemp -d) || return 1
  if ! lab_add_namespace "$LAB_PC" || ! lab_ip -n "$LAB_PC" link add name probe0 type bridge ||
    ! lab_ip -n "$LAB_PC" link add probe1 type veth peer name probe2 ||
    ! lab_ip -n "$LAB_PC" link del probe0 || ! lab_ip -n "$LAB_PC" link del probe1; then
    lab_error "cannot create network namespaces, bridges and veth pairs here"
    return 77
  fi
}

# lab_net A.B.C[,pc=H][,mac=MAC]: a /24 network of the PC (a bridge in the PC namespace).
lab_net() {
  local option=$1 prefix host=1 mac= item items
  IFS=, read -r -a items <<<"$option"
  prefix=${items[0]}
  if ! lab_is_ten_address "$prefix.0"; then
    lab_error "--net $option: the network must be 10.B.C (only 10.x exists inside the lab)"
    return 2
  fi
  for item in "${items[@]:1}"; do
    case $item in
      pc=*) host=${item#pc=} ;;
      mac=*) mac=$(lab_mac "${item#mac=}") || { lab_error "--net $option: bad mac"; return 2; } ;;
      *) lab_error "--net $option: unknown key '$item'"; return 2 ;;
    esac
  done
  if ! [[ $host =~ ^[0-9]+$ ]] || ((host < 1 || host > 254)); then
    lab_error "--net $option: pc= must be a host number 1..254"
    return 2
  fi
  local existing
  for existing in "${LAB_NETS[@]}"; do
    [[ $existing == "$prefix" ]] && { lab_error "--net $option: network given twice"; return 2; }
  done
  local bridge=lan${#LAB_NETS[@]}
  lab_ip -n "$LAB_PC" link add name "$bridge" type bridge forward_delay 0 || return 1
  if [[ -n $mac ]]; then
    lab_ip -n "$LAB_PC" link set "$bridge" address "$mac" || return 1
    LAB_PC_MACS+=("$mac")
  else
    # A bridge without an address of its own takes the lowest of its ports'
    # and changes it as ports join, which flushes its neighbour entries, the
    # permanent ones too. A fixed, locally administered address keeps them.
    local o
    IFS=. read -r -a o <<<"$prefix"
    lab_ip -n "$LAB_PC" link set "$bridge" address "$(printf '02:00:%02x:%02x:%02x:01' "${o[0]}" "${o[1]}" "${o[2]}")" || return 1
  fi
  lab_ip -n "$LAB_PC" addr add "$prefix.$host/24" dev "$bridge" || return 1
  lab_ip -n "$LAB_PC" link set "$bridge" up || return 1
  LAB_NETS+=("$prefix")
  LAB_PC_ADDRESSES+=("$prefix.$host")
}

# Splits "key=value,key=value,flag" into LAB_KEYS (one "key=value" or "flag"
# each). A part without "=" that is not a lower-case flag name continues the
# value before it, so "options=HW02,FW07" keeps its list.
lab_split_keys() {
  local item items
  LAB_KEYS=()
  IFS=, read -r -a items <<<"$1"
  for item in "${items[@]}"; do
    if [[ $item != *=* && ! $item =~ ^[a-z][a-z-]*$ && ${#LAB_KEYS[@]} -gt 0 ]]; then
      LAB_KEYS[-1]+=",$item"
    elif [[ -n $item ]]; then
      LAB_KEYS+=("$item")
    fi
  done
}

# lab_start_sim NAMESPACE ADDRESS FAMILY KEY...: the simulator, its output in a log.
lab_start_sim() {
  local ns=$1 address=$2 family=$3 key
  shift 3
  local args=(--family "$family" --address "$address" --allow-any-address)
  for key in "$@"; do args+=("--$key"); done
  local log=$LAB_WORK/sim${#LAB_PIDS[@]}.log
  ip netns exec "$ns" "$LAB_SIM" "${args[@]}" >"$log" 2>&1 &
  LAB_PIDS+=($!)
  LAB_SIM_LOGS+=("$log")
  LAB_SIM_TARGETS+=("$address")
}

# lab_analyzer FAMILY@ADDRESS[,mac=MAC][,silent][,SIMKEY=VALUE|SIMFLAG]...:
# a simulated analyzer in a namespace of its own. Inside a lab network it
# lives on that network; outside every one it hangs on the first network's
# segment, reached through a host route and a permanent neighbour entry of
# the PC. Needs every network added first.
lab_analyzer() {
  local option=$1 family address mac= silent=0 key sim_keys=()
  if [[ $option != *@* ]]; then
    lab_error "--analyzer $option: expected FAMILY@ADDRESS"
    return 2
  fi
  family=${option%%@*}
  lab_split_keys "${option#*@}"
  address=${LAB_KEYS[0]:-}
  if [[ -z ${LAB_FAMILY_NAME[${family,,}]:-} ]]; then
    lab_error "--analyzer $option: unknown family '$family' (Alvra, Belko or Cendra)"
    return 2
  fi
  family=${LAB_FAMILY_NAME[${family,,}]}
  if ! lab_is_ten_address "$address"; then
    lab_error "--analyzer $option: the address must be a 10.x address"
    return 2
  fi
  for key in "${LAB_KEYS[@]:1}"; do
    case $key in
      mac=*) mac=$(lab_mac "${key#mac=}") || { lab_error "--analyzer $option: bad mac"; return 2; } ;;
      silent) silent=1 ;;
      address=* | family=* | allow-any-address) lab_error "--analyzer $option: '$key' is set by the lab"; return 2 ;;
      *) sim_keys+=("$key") ;;
    esac
  done
  if ((${#LAB_NETS[@]} == 0)); then
    lab_error "--analyzer $option: the lab needs a --net first"
    return 2
  fi
  local existing net=-1 i
  for existing in "${LAB_ANALYZERS[@]}" "${LAB_PC_ADDRESSES[@]}"; do
    [[ $existing == "$address" ]] && { lab_error "--analyzer $option: address $address is taken"; return 2; }
  done
  for i in "${!LAB_NETS[@]}"; do [[ ${address%.*} == "${LAB_NETS[$i]}" ]] && net=$i; done
  if ((net >= 0)) && [[ ${address##*.} == 0 || ${address##*.} == 255 ]]; then
    lab_error "--analyzer $option: host 0 and 255 are not hosts of a /24"
    return 2
  fi
  if [[ -z $mac ]]; then
    local o
    IFS=. read -r -a o <<<"$address"
    mac=$(printf '%s:%02x:%02x:%02x' "${LAB_FAMILY_PREFIX[${family,,}]}" "${o[1]}" "${o[2]}" "${o[3]}")
  fi

  local n=$((${#LAB_ANALYZERS[@]} + 1))
  local ns=$LAB_ID-a$n port=a$n
  local bridge=lan$((net >= 0 ? net : 0))
  lab_add_namespace "$ns" || return 1
  lab_ip -n "$LAB_PC" link add "$port" type veth peer name eth0 netns "$ns" || return 1
  lab_ip -n "$ns" link set eth0 address "$mac" || return 1
  if ((net >= 0)); then
    lab_ip -n "$ns" addr add "$address/24" dev eth0 || return 1
    lab_ip -n "$ns" link set eth0 up || return 1
  else
    lab_ip -n "$ns" addr add "$address/32" dev eth0 || return 1
    lab_ip -n "$ns" link set eth0 up || return 1
    lab_ip -n "$ns" route add "${LAB_NETS[0]}.0/24" dev eth0 || return 1
  fi
  lab_ip -n "$LAB_PC" link set "$port" master "$bridge" up || return 1
  if ((net < 0)); then
    lab_ip -n "$LAB_PC" route add "$address/32" dev "$bridge" || return 1
    lab_ip -n "$LAB_PC" neigh replace "$address" lladdr "$mac" dev "$bridge" nud permanent || return 1
  fi
  LAB_ANALYZERS+=("$address")
  LAB_ANALYZER_MACS+=("$address=$mac")
  ((silent)) || lab_start_sim "$ns" "$address" "$family" "${sim_keys[@]}"
}

# lab_local FAMILY[,SIMKEY=VALUE|SIMFLAG]...: a simulator on 127.0.0.1 of the
# PC namespace, as on the analyzer's own computer.
lab_local() {
  local option=$1 family
  lab_split_keys "$option"
  family=${LAB_KEYS[0]:-}
  if [[ -z ${LAB_FAMILY_NAME[${family,,}]:-} ]]; then
    lab_error "--local $option: unknown family '$family' (Alvra, Belko or Cendra)"
    return 2
  fi
  lab_start_sim "$LAB_PC" 127.0.0.1 "${LAB_FAMILY_NAME[${family,,}]}" "${LAB_KEYS[@]:1}"
}

# lab_wait_ready SECONDS: until every simulator listens and accepts a TCP
# connection from the PC namespace (through its bridge and veth pair). The
# neighbour entries this leaves in the PC namespace are flushed afterwards, so
# that the command starts with only the permanent ones.
lab_wait_ready() {
  local deadline=$((SECONDS + $1)) i line port address
  for i in "${!LAB_PIDS[@]}"; do
    address=${LAB_SIM_TARGETS[$i]}
    port=
    while :; do
      if [[ -z $port ]]; then
        line=$(grep -m1 " listening on " "${LAB_SIM_LOGS[$i]}" 2>/dev/null || true)
        [[ -n $line ]] && port=${line##*:}
      fi
      if [[ -n $port ]] &&
        ip netns exec "$LAB_PC" timeout 2 bash -c 'exec 3<>"/dev/tcp/$0/$1"' "$address" "$port" 2>/dev/null; then
        break
      fi
      if ! lab_alive "${LAB_PIDS[$i]}"; then
        lab_error "the simulator for $address ended: $(tail -3 "${LAB_SIM_LOGS[$i]}")"
        return 1
      fi
      if ((SECONDS >= deadline)); then
        lab_error "the simulator for $address is not ready after $1 s: $(tail -3 "${LAB_SIM_LOGS[$i]}")"
        return 1
      fi
      sleep 0.1
    done
  done
  lab_ip -n "$LAB_PC" -4 neigh flush all
}

# lab_exec COMMAND...: runs the command in the PC namespace and returns its
# exit status. The command learns the lab from FIELDTRACE_LAB_* variables. It
# runs in the background of this shell (so that a signal trap runs at once),
# keeping this shell's standard input; SIGINT is restored to its default for
# it, so that lab_interrupt can pass Ctrl-C on.
lab_exec() {
  local IFS=' '
  ip netns exec "$LAB_PC" env --default-signal=INT,QUIT \
    FIELDTRACE_LAB=1 \
    FIELDTRACE_LAB_NAMESPACE="$LAB_PC" \
    FIELDTRACE_LAB_NETS="${LAB_NETS[*]}" \
    FIELDTRACE_LAB_ADDRESSES="${LAB_PC_ADDRESSES[*]}" \
    FIELDTRACE_LAB_PC_MACS="${LAB_PC_MACS[*]}" \
    FIELDTRACE_LAB_ANALYZERS="${LAB_ANALYZERS[*]}" \
    FIELDTRACE_LAB_MACS="${LAB_ANALYZER_MACS[*]}" \
    "$@" <&0 &
  LAB_COMMAND_PID=$!
  local status=0
  wait "$LAB_COMMAND_PID" || status=$?
  LAB_COMMAND_PID=
  return $status
}

# lab_interrupt SIGNAL: passes a signal on to the running command and gives
# it five seconds to end before it is terminated.
lab_interrupt() {
  local pid=$LAB_COMMAND_PID i
  [[ -n $pid ]] || return 0
  kill -"$1" "$pid" 2>/dev/null || true
  for i in $(seq 1 50); do
    lab_alive "$pid" || return 0
    sleep 0.1
  done
  lab_stop "$pid"
}

# lab_end: ends every process of the lab (the simulators by pid, then anything
# still living in the lab's namespaces) and removes the namespaces, which
# takes their bridges and veth pairs with them. Safe to call twice.
lab_end() {
  [[ -n $LAB_COMMAND_PID ]] && lab_stop "$LAB_COMMAND_PID"
  LAB_COMMAND_PID=
  ((${#LAB_PIDS[@]} == 0)) || lab_stop "${LAB_PIDS[@]}"
  LAB_PIDS=()
  local ns pids
  for ns in "${LAB_NAMESPACES[@]}"; do
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    # shellcheck disable=SC2086
    [[ -z $pids ]] || lab_stop $pids
  done
  for ns in "${LAB_NAMESPACES[@]}"; do ip netns del "$ns" 2>/dev/null || lab_error "cannot remove namespace $ns"; done
  LAB_NAMESPACES=()
  [[ -z $LAB_WORK ]] || rm -rf "$LAB_WORK"
  LAB_WORK=
}
