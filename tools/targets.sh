# The list of targets, for the scripts that build, test and release each:
# one file (row) per target in cmake/targets/, read through CMake so that
# the scripts see what the builds see. Sourced, not run. Every row is read
# once, when this is sourced: a row that cannot be read, or that lacks a
# field, stops the script that sources it, naming the row and the field.
targets_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

declare -A target_values=()
target_list=()
target_rows=$(cmake -P "$targets_root/cmake/ChipidTargetRows.cmake") || {
    echo "targets: a row of cmake/targets/ cannot be read (CMake says which, above)" >&2
    exit 1
}
while IFS=$'\x1f' read -r target_name target_key target_item; do
    key="$target_name $target_key"
    if [[ -v target_values[$key] ]]; then
        target_values[$key]+=$'\n'$target_item
    else
        target_values[$key]=$target_item
    fi
    [[ $target_key != SYSTEM ]] || target_list+=("$target_name")
done <<<"$target_rows"
unset target_rows target_name target_key target_item key

# The names of all targets, or with "released" of the released ones only.
target_names() {
    local name
    for name in "${target_list[@]}"; do
        if [[ ${1:-} != released || ${target_values["$name RELEASED"]} == ON ]]; then
            echo "$name"
        fi
    done
}

# target_field NAME FIELD: one field of the target's row (a CHIPID_TARGET_
# name without its prefix, or EMULATOR_LINE, the whole command a cross
# build runs its programs through), one list item per line: read a list
# with mapfile -t, so that no item is split at its spaces.
target_field() {
    [[ -v target_values["$1 $2"] ]] || { echo "targets: no field $2 for a target $1" >&2; return 1; }
    [[ -z ${target_values["$1 $2"]} ]] || printf '%s\n' "${target_values["$1 $2"]}"
}

# Whether this machine builds and runs the target natively.
target_is_native() {
    [[ $(target_field "$1" DEB_ARCH) == "$(dpkg --print-architecture)" ]]
}
