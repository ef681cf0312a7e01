#!/usr/bin/env bash
# Starts or stops the PHP stand-in of the site (tests/php_site/) on 127.0.0.1.
#
#   tests/php_site.sh start --port N --dir STATE [--login L --password P]
#   tests/php_site.sh stop --dir STATE
#
# start runs PHP's built-in server in the background, keeps its pid and its
# console log in STATE, writes STATE/site.json (the demo account) when it is
# absent or when --login/--password are given, and returns once the site
# answers. stop ends that server by its pid.
set -euo pipefail
site=$(cd "$(dirname "$0")/php_site" && pwd)

usage() { echo "usage: $0 start --port N --dir STATE [--login L --password P] | stop --dir STATE" >&2; exit 2; }

command=${1:-}; [ $# -gt 0 ] && shift
port= state= login= password=
while [ $# -gt 0 ]; do
    case $1 in
        --port) port=$2; shift 2 ;;
        --dir) state=$2; shift 2 ;;
        --login) login=$2; shift 2 ;;
        --password) password=$2; shift 2 ;;
        *) usage ;;
    esac
done
[ -n "$state" ] || usage

stop_site() {
    local pid
    pid=$(cat "$state/server.pid" 2>/dev/null) || return 0
    rm -f "$state/server.pid"
    # Only a server of ours: a stale pid file must not end anything else.
    if [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$site/router.php"; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
}

case $command in
start)
    [[ $port =~ ^[0-9]+$ ]] || usage
    command -v php >/dev/null || { echo "php_site: php is missing (scripts/setup installs php-cli)" >&2; exit 1; }
    mkdir -p "$state"
    state=$(cd "$state" && pwd)
    stop_site
    if [ -n "$login$password" ] || [ ! -f "$state/site.json" ]; then
        php -r 'echo json_encode(["login" => $argv[1], "password" => $argv[2]]), "\n";' \
            "${login:-demo}" "${password:-demo-pass}" > "$state/site.json"
    fi
    # No warning may slip into a reply ("OK" must stay the whole body), and the
    # limits must let a full data file through whatever php.ini says.
    QUILLFERN_SITE_STATE="$state" php \
        -d display_errors=0 -d log_errors=1 -d html_errors=0 -d expose_php=0 \
        -d file_uploads=1 -d upload_max_filesize=4M -d post_max_size=8M -d max_file_uploads=4 \
        -d upload_tmp_dir="$state" \
        -S "127.0.0.1:$port" -t "$site/www" "$site/router.php" \
        </dev/null >>"$state/server.log" 2>&1 &
    pid=$!
    echo "$pid" > "$state/server.pid"
    for _ in $(seq 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            rm -f "$state/server.pid"
            echo "php_site: the server did not start on port $port:" >&2
            tail -n 5 "$state/server.log" >&2
            exit 1
        fi
        # The probe's user agent tells it apart in the site's request log, and
        # finding it there proves that this server answered, not another one
        # already on the port.
        probe="php_site.sh $$-$RANDOM"
        if php -d user_agent="$probe" -r 'exit(@file_get_contents($argv[1]) === file_get_contents($argv[2]) ? 0 : 1);' \
               "http://127.0.0.1:$port/addon-v2/uploader/release.txt" \
               "$site/www/addon-v2/uploader/release.txt" &&
           grep -qF "$probe" "$state/requests.log" 2>/dev/null; then
            echo "php_site: http://127.0.0.1:$port/ (pid $pid, state $state)"
            exit 0
        fi
        sleep 0.1
    done
    echo "php_site: no answer on port $port" >&2
    stop_site
    exit 1
    ;;
stop)
    stop_site
    ;;
*)
    usage
    ;;
esac
