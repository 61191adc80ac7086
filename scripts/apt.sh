# Sourced by the scripts that run apt-get. A mirror caught mid-sync fails
# apt-get update for hours: the update is tried again, then the indexes that
# did arrive are used, and only a package that cannot be had fails the script.
apt_stale=""  # the sources whose update failed, for apt_need's message

apt_update() {  # apt_update APT-GET [OPTION...]: e.g. apt_update sudo apt-get -q
    local try out status
    for try in 1 2 3; do
        status=0
        out=$("$@" update 2>&1) || status=$?
        ((status)) || return 0
        ((try == 3)) || sleep "${SJ_APT_RETRY_PAUSE:-30}"
    done
    apt_stale=$(sed -n 's/^Err:[0-9]* //p' <<<"$out" | sort -u | paste -sd, | sed 's/,/, /g')
    : "${apt_stale:=$(grep -m1 '^E:' <<<"$out" || echo "apt-get update, status $status")}"
    echo "${0##*/}: could not update $apt_stale (3 tries); going on without it" >&2
}

apt_need() {  # apt_need PACKAGES COMMAND...: runs COMMAND, which gets PACKAGES
    "${@:2}" && return 0
    local status=$?
    echo "${0##*/}: could not get $1${apt_stale:+ (sources not updated: $apt_stale)}" >&2
    return "$status"
}
