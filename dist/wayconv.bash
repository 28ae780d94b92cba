# Bash completion for wayconv: options, the values of --kind, --thin and
# --export, input files (one or more) filtered by the chosen kind (or by their
# extension when no kind is given) and track files (.bin) after --show and
# --export.
# Installed as share/bash-completion/completions/wayconv.

# The long options the program itself lists in --help, so that the completion
# stays in step with it; the options of this version when that gives nothing.
_wayconv_options() {
  local help
  help=$(LC_ALL=C "$1" --help 2>/dev/null)
  local options
  options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
  if [[ -z $options ]]; then
    options='--window --batch --kind --output --split --no-split --thin --strict --force --show
--export --help --version'
  fi
  printf '%s\n' "$options"
}

# Fills COMPREPLY with the folders and the files under $1 whose extension is
# one of the others (in any case); with no extension given, with every file.
# When no file matches, every file is offered: NMEA logs go by many names.
_wayconv_files() {
  local cur=$1
  shift
  local name lower ext matched=()
  compopt -o filenames 2>/dev/null
  while IFS= read -r name; do
    [[ -n $name ]] || continue
    if [[ -d $name || $# -eq 0 ]]; then
      matched+=("$name")
      continue
    fi
    lower=${name,,}
    for ext in "$@"; do
      if [[ $lower == *."$ext" ]]; then
        matched+=("$name")
        break
      fi
    done
  done < <(compgen -f -- "$cur")
  local files=0
  for name in "${matched[@]}"; do
    [[ -d $name ]] || files=1
  done
  if ((files == 0 && $# > 0)); then
    mapfile -t matched < <(compgen -f -- "$cur")
  fi
  COMPREPLY=("${matched[@]}")
}

_wayconv() {
  local cword=$COMP_CWORD
  local cur=${COMP_WORDS[cword]} prev=''
  # "--kind=gp" arrives as "--kind" "=" "gp": the option is the word before
  # the "=".
  if [[ $cur == = ]]; then
    cur=
    prev=${COMP_WORDS[cword - 1]}
  elif ((cword >= 2)) && [[ ${COMP_WORDS[cword - 1]} == = ]]; then
    prev=${COMP_WORDS[cword - 2]}
  elif ((cword >= 1)); then
    prev=${COMP_WORDS[cword - 1]}
  fi
  COMPREPLY=()

  case $prev in
    --kind)
      mapfile -t COMPREPLY < <(compgen -W 'gpx mps plt nmea fit tcx kml geojson igc' -- "$cur")
      return
      ;;
    --export)
      mapfile -t COMPREPLY < <(compgen -W 'gpx csv svg' -- "$cur")
      return
      ;;
    --thin)
      mapfile -t COMPREPLY < <(compgen -W 'even shape' -- "$cur")
      return
      ;;
    --output)
      _wayconv_files "$cur"
      return
      ;;
  esac

  # What the words before this one chose: the kind of the input, a track file
  # tool, the end of the options.
  local i word kind='' track_file=0 options_done=0
  for ((i = 1; i < cword; i++)); do
    word=${COMP_WORDS[i]}
    if ((options_done)); then
      continue
    fi
    case $word in
      --) options_done=1 ;;
      --show | --export) track_file=1 ;;
      --kind=*) kind=${word#--kind=} ;;
      --kind)
        if [[ ${COMP_WORDS[i + 1]} == = ]]; then
          kind=${COMP_WORDS[i + 2]}
        else
          kind=${COMP_WORDS[i + 1]}
        fi
        ;;
    esac
  done

  if ((!options_done)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_wayconv_options "${COMP_WORDS[0]}")" -- "$cur")
    return
  fi
  if ((track_file)); then
    _wayconv_files "$cur" bin
    return
  fi
  case $kind in
    gpx | mps | plt | fit | tcx | igc) _wayconv_files "$cur" "$kind" "$kind.gz" ;;
    kml) _wayconv_files "$cur" kml kmz kml.gz ;;
    geojson) _wayconv_files "$cur" geojson json geojson.gz json.gz ;;
    nmea) _wayconv_files "$cur" ;;
    *) _wayconv_files "$cur" gpx mps plt nmea fit tcx kml kmz geojson json igc gz ;;
  esac
}

complete -F _wayconv wayconv
