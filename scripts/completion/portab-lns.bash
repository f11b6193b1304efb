# bash completion for portab-lns: its commands, the options of each, network names (asked of
# the program itself, "portab-lns networks", so they come from the PORTAB_HOME of the shell)
# and files where a command takes a file.

# Offers the words (one an argument) that start with the current word, quoted for the line.
_portab_lns_offer() {
  local cur=$1 word
  shift
  for word in "$@"; do
    [[ $word == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$word")")
  done
}

# The networks the program knows; $1 is the program as typed on the line.
_portab_lns_networks() {
  local tool=$1
  [[ $tool == \~/* ]] && tool=$HOME/${tool#\~/}
  "$tool" networks 2>/dev/null </dev/null
}

# Files (and folders, to walk into) for an argument that names a file; $2 narrows them to a
# file name pattern such as "*.json".
_portab_lns_files() {
  local cur=$1 pattern=$2
  local -a found=()
  compopt -o filenames 2>/dev/null
  if [[ -n $pattern ]]; then
    mapfile -t found < <(compgen -d -- "$cur"; compgen -f -X "!$pattern" -- "$cur")
  else
    mapfile -t found < <(compgen -f -- "$cur")
  fi
  COMPREPLY+=("${found[@]}")
}

# A device or LonMark object path starts with its network: offer "<network>/".
_portab_lns_paths() {
  local tool=$1 cur=$2 network
  local -a networks=()
  while IFS= read -r network; do networks+=("$network/"); done < <(_portab_lns_networks "$tool")
  _portab_lns_offer "$cur" "${networks[@]}"
  compopt -o nospace 2>/dev/null
}

_portab_lns() {
  local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  # "--server <URI>" before the command: the command is two words further on. (The URI's
  # colons may split it into more words; then nothing is offered.)
  local -i first=1
  [[ ${COMP_WORDS[1]} == --server ]] && first=3
  ((COMP_CWORD == 2 && first == 3)) && return 0

  if ((COMP_CWORD == first)); then
    _portab_lns_offer "$cur" networks create export tree cp nv reachable device monitor registrations plugin \
      registry kb copy server interface attach discover commission status wink template --server --help -h --version
    return 0
  fi

  local command=${COMP_WORDS[first]}
  # The value of an option: only the CP value formats are a fixed set.
  case $prev in
    --format)
      [[ $command == cp ]] && _portab_lns_offer "$cur" dec hex raw
      return 0
      ;;
    --enhanced)
      [[ $command == interface ]] && _portab_lns_offer "$cur" yes no
      return 0
      ;;
    --nv | --set | --lns | --get | --send | --to | --from | --server | --timeout | --retries | --seconds | --name) return 0 ;;
    --network)
      local network
      local -a networks=()
      while IFS= read -r network; do networks+=("$network"); done < <(_portab_lns_networks "$tool")
      _portab_lns_offer "$cur" "${networks[@]}"
      return 0
      ;;
    --xif)
      _portab_lns_files "$cur" "*.xif"
      return 0
      ;;
  esac

  if [[ $cur == -* ]]; then
    case $command in
      create) _portab_lns_offer "$cur" --replace ;;
      cp) _portab_lns_offer "$cur" --nv --format ;;
      plugin) _portab_lns_offer "$cur" --set --lns --regresult --send --get ;;
      kb) _portab_lns_offer "$cur" --help ;;
      copy) _portab_lns_offer "$cur" --to --from --replace ;;
      interface) _portab_lns_offer "$cur" --timeout --retries --enhanced ;;
      discover) _portab_lns_offer "$cur" --seconds ;;
      commission) _portab_lns_offer "$cur" --accept-interface ;;
      template) _portab_lns_offer "$cur" --network --name --xif --json ;;
    esac
    return 0
  fi

  # The position of the current word among the command's arguments, options left out.
  local -i i position=1
  for ((i = first + 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      --nv | --format | --set | --lns | --get | --to | --from | --timeout | --retries | --enhanced | --seconds | --network | --name | --xif) ((i++)) ;;
      --send) ((i += 3)) ;;
      -*) ;;
      *) ((position++)) ;;
    esac
  done

  local network
  case $command:$position in
    create:1) _portab_lns_files "$cur" "*.json" ;;
    export:1 | tree:1 | monitor:1 | registrations:1 | copy:1 | server:1 | attach:1 | discover:1)
      local -a networks=()
      while IFS= read -r network; do networks+=("$network"); done < <(_portab_lns_networks "$tool")
      _portab_lns_offer "$cur" "${networks[@]}"
      ;;
    export:2 | registry:2) _portab_lns_files "$cur" ;;
    cp:1) _portab_lns_offer "$cur" get set upload download ;;
    nv:1) _portab_lns_offer "$cur" get set ;;
    cp:2 | nv:2 | reachable:1 | commission:1 | status:1 | wink:1) _portab_lns_paths "$tool" "$cur" ;;
    interface:1) _portab_lns_offer "$cur" add list remove ;;
    attach:2) _portab_lns_offer "$cur" none ;;
    reachable:2) _portab_lns_offer "$cur" yes no ;;
    server:2) _portab_lns_offer "$cur" none ;;
    device:1) _portab_lns_offer "$cur" add interface ;;
    device:2) _portab_lns_paths "$tool" "$cur" ;;
    device:3)
      if [ "${COMP_WORDS[COMP_CWORD - 2]}" = interface ]; then
        _portab_lns_offer "$cur" --json
      else
        _portab_lns_files "$cur" "*.json"
      fi
      ;;
    device:4) _portab_lns_offer "$cur" --from-device --template ;;
    template:1) _portab_lns_offer "$cur" import list show remove export check ;;
    template:2)
      if [ "${COMP_WORDS[COMP_CWORD - 1]}" = import ]; then
        _portab_lns_files "$cur" "*.xif"
      else
        local -a networks=()
        while IFS= read -r network; do networks+=("$network"); done < <(_portab_lns_networks "$tool")
        _portab_lns_offer "$cur" "${networks[@]}"
      fi
      ;;
    template:4) _portab_lns_paths "$tool" "$cur" ;;
    registry:1) _portab_lns_offer "$cur" export ;;
    kb:1) _portab_lns_offer "$cur" check ;;
    kb:2)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
  esac
  return 0
}

complete -F _portab_lns portab-lns
