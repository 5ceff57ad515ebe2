#!/bin/sh
# Each folder may include only from the folders its library links:
# core at the bottom; link, logging, chart on core; config on core and link;
# mqtt on core; app on all of them. Prints every include that runs the other way.
root=${1:-.}
bad=0
check() {
    dir=$1; shift
    pattern=$(printf '%s|' "$@")
    found=$(grep -HnE '#include "[a-z]+/' "$root/$dir"/*.h "$root/$dir"/*.cpp 2>/dev/null |
            grep -vE "#include \"(${pattern%|})/")
    if [ -n "$found" ]; then
        echo "$found"
        bad=1
    fi
}
check core core
check link core link
check logging core logging
check chart core chart
check config core link config
check mqtt core mqtt
check app core link logging chart config mqtt app
exit $bad
