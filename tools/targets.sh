# The list of targets, for the scripts that build, test and release each:
# one file per target in cmake/targets/, read through CMake so that the
# scripts see what the builds see. Sourced, not run.
targets_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The names of all targets, or with "released" of the released ones only.
target_names() {
    local row name
    for row in "$targets_root"/cmake/targets/*.cmake; do
        name=$(basename "$row" .cmake)
        if [[ ${1:-} != released || $(target_field "$name" RELEASED) == ON ]]; then
            echo "$name"
        fi
    done
}

# target_field NAME FIELD: one field of the target's row (see
# cmake/ChipidTargetField.cmake).
target_field() {
    cmake -D ROW="$targets_root/cmake/targets/$1.cmake" -D FIELD="$2" \
        -P "$targets_root/cmake/ChipidTargetField.cmake"
}

# Whether this machine builds and runs the target natively.
target_is_native() {
    [[ $(target_field "$1" DEB_ARCH) == "$(dpkg --print-architecture)" ]]
}
