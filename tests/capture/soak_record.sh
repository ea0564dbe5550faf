#!/usr/bin/env bash
# Soak run of the recording path (not part of ctest): records the simulated Full HD
# camera (1080p30 H.264 with the simulated microphone) for a long time, rolling over
# into a new file at a scaled-down size limit as the station does at its limit, and
# checks as it goes:
#   - every completed file holds exactly the packets the camera delivered into it
#     (ffprobe counts them): none lost, none twice;
#   - resident memory stays within 5 MB of its value after the first two minutes;
#   - the open file descriptor count stays what it was then.
# Each checked file is deleted, so the run needs only a few files' room.
#
# usage: tests/capture/soak_record.sh [seconds=3600] [rollover-bytes=100000000] [folder]
# Needs the built avi_record_child (cmake --build build --target avi_record_child).
set -u
seconds=${1:-3600}
rollover=${2:-100000000}
folder=${3:-$(mktemp -d /tmp/kestovar-soak-XXXXXX)}
here=$(cd "$(dirname "$0")/../.." && pwd)
child=${KESTOVAR_RECORD_CHILD:-$here/build/avi_record_child}
[ -x "$child" ] || { echo "soak: $child is not built" >&2; exit 2; }
mkdir -p "$folder"

echo "soak: ${seconds} s from the simulated 1080p camera into $folder, roll-over at $rollover bytes"
failures=0
files=0
packets=0
baseRss=""
baseFds=""
maxDrift=0
fdChanges=0
declare -A paths

while read -r kind a b c; do
    case "$kind" in
    f) paths[$a]=$b ;;
    c)
        path=${paths[$a]}
        counted=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
            -of csv=p=0 "$path" 2>/dev/null)
        files=$((files + 1))
        packets=$((packets + b))
        if [ "$counted" != "$b" ]; then
            failures=$((failures + 1))
            echo "soak: FAIL $path holds ${counted:-nothing} packets, the camera delivered $b"
        else
            echo "soak: file $a: $b packets delivered, $counted in the file, $(stat -c %s "$path") bytes"
        fi
        rm -f "$path"
        ;;
    m)
        # a = seconds, b = resident KiB, c = open descriptors
        if [ -z "$baseRss" ] && [ "$a" -ge 120 ]; then
            baseRss=$b
            baseFds=$c
            echo "soak: after $a s: resident $b KiB, $c descriptors (the reference)"
        elif [ -n "$baseRss" ]; then
            drift=$((b - baseRss))
            [ ${drift#-} -gt $maxDrift ] && maxDrift=${drift#-}
            if [ "$c" != "$baseFds" ]; then
                fdChanges=$((fdChanges + 1))
                echo "soak: FAIL at $a s: $c descriptors, $baseFds at the reference"
            fi
            if [ ${drift#-} -gt 5120 ]; then
                echo "soak: FAIL at $a s: resident $b KiB, ${drift} KiB from the reference"
                failures=$((failures + 1))
            fi
            [ $((a % 300)) -lt 10 ] && echo "soak: at $a s: resident $b KiB, $c descriptors"
        fi
        ;;
    e) echo "soak: FAIL the recorder says: $a $b $c"; failures=$((failures + 1)) ;;
    esac
done < <("$child" "$folder" "$rollover" "$seconds" --stats 10)

failures=$((failures + fdChanges))
echo "soak: $files files, $packets packets, largest memory drift ${maxDrift} KiB, descriptor changes $fdChanges"
if [ "$files" -eq 0 ] || [ "$failures" -ne 0 ]; then
    echo "soak: FAILED ($failures problems)"
    exit 1
fi
echo "soak: PASSED"
