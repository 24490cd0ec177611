#!/usr/bin/env bash
# Benchmark: a fresh install of a published release (at least 300 files and 500 MB) from a local
# nginx, velmora-update against a baseline measured in the same run: curl fetching the same
# payloads with 4 parallel transfers through the same proxy, then one unzip (or 7zz for the
# scenery) per payload. Prints both wall times and their ratio (goal: at most 0.8), the CPU
# time per MB and the peak memory of velmora-update (goal: at most 100 MB).
#
#   bench/update_fresh_install.sh [FILES] [MEGABYTES]      defaults: 320 files, 520 MB
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD:-$root/build}
files=${1:-320}
megabytes=${2:-520}

export CCACHE_NOHASHDIR=1
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target velmora-update velmora-publish -j"$(nproc)" >/dev/null

work=$(mktemp -d /tmp/velmora-bench-XXXXXX)
chmod 755 "$work"
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill -QUIT "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

release="Velmora 9.00 Beta-25"
rel_dir="$work/www/updates/$release"
echo "Publishing a sample release: $files files, $megabytes MB ..."
"$build/velmora-publish" sample --out="$work/source/Velmora 9" --files="$files" --megabytes="$megabytes" --seed=1
mkdir -p "$work/www/updates" "$work/home"
"$build/velmora-publish" release --source="$work/source/Velmora 9" --out="$rel_dir" \
  --platform=Velmora-linux=3 --platform=Velmora.exe=2 '--platform=Velmora.app/*=1' >/dev/null
"$build/velmora-publish" serverlist --out="$work/www/serverlist9.txt" --release="$release" \
  --server="dl1.velmora.example|/updates/|Bench server" >/dev/null

mkdir -p "$work/nginx"
port=0
for _ in $(seq 1 20); do
  port=$((20000 + RANDOM % 30000))
  cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 2;
error_log $work/nginx/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream;
  sendfile on;
  server { listen 127.0.0.1:$port default_server; server_name _; root $work/www; }
}
CONF
  /usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" 2>>"$work/nginx/stderr.log" &
  nginx_pid=$!
  sleep 0.3
  if kill -0 "$nginx_pid" 2>/dev/null && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=
done
[ -n "$nginx_pid" ] || { echo "could not start nginx" >&2; exit 1; }

# The payloads velmora-update fetches: every file's archive except the other platforms'.
(cd "$rel_dir" && find "Velmora 9" -type f \( -name '*.zip' -o -name '*.7z' \) \
  ! -path 'Velmora 9/Velmora.exe.zip' ! -path 'Velmora 9/Velmora.app/*' | sort) >"$work/payloads"
payload_count=$(wc -l <"$work/payloads")
payload_bytes=$(cd "$rel_dir" && tr '\n' '\0' <"$work/payloads" | xargs -0 stat -c %s | awk '{s+=$1} END {print s}')
install_bytes=$(cd "$work/source/Velmora 9" && find . -type f ! -name Velmora.exe ! -path './Velmora.app/*' -print0 | xargs -0 stat -c %s | awk '{s+=$1} END {print s}')
install_mb=$(awk -v b="$install_bytes" 'BEGIN {printf "%.1f", b / 1e6}')
echo "Release: $payload_count payloads, $((payload_bytes / 1000000)) MB compressed, $install_mb MB installed"

now() { date +%s.%N; }
sync

# ---- baseline: curl, 4 parallel transfers through the proxy, then one extractor per payload ----
mkdir -p "$work/curl/dl" "$work/curl/dest"
start=$(now)
# Each curl takes up to 20 transfers; xargs keeps four of them running.
awk -v base="http://dl1.velmora.example/updates/$release/" -v out="$work/curl/dl/" '
  { url = base $0; gsub(/ /, "%20", url); printf "%s\t-o\t%s%d%s\n", url, out, NR, ($0 ~ /\.7z$/ ? ".7z" : ".zip") }' \
  "$work/payloads" | tr '\t\n' '\0\0' | xargs -0 -n 60 -P 4 curl -s -f -x "http://127.0.0.1:$port"
n=0
while IFS= read -r payload; do
  n=$((n + 1))
  below=${payload#Velmora 9/}
  folder="$work/curl/dest/$(dirname "$below")"
  mkdir -p "$folder"
  case "$payload" in
    *.7z) 7zz x -y -bso0 -bsp0 -o"$folder" "$work/curl/dl/$n.7z" ;;
    *) unzip -q -o "$work/curl/dl/$n.zip" -d "$folder" ;;
  esac
done <"$work/payloads"
baseline=$(awk -v a="$start" -v b="$(now)" 'BEGIN {printf "%.3f", b - a}')
baseline_files=$(find "$work/curl/dest" -type f | wc -l)

# ---- velmora-update ----------------------------------------------------------------------------
mkdir -p "$work/dest"
start=$(now)
/usr/bin/time -f "%U %S %M" -o "$work/time.txt" env HOME="$work/home" "$build/velmora-update" \
  -path "$work/dest/" --pref:_proxy_host=127.0.0.1 --pref:_proxy_port_int="$port" \
  --accept-terms --timeout=60 >"$work/update.log"
updater=$(awk -v a="$start" -v b="$(now)" 'BEGIN {printf "%.3f", b - a}')
read -r user_s sys_s peak_kb <"$work/time.txt"
installed_files=$(find "$work/$release" -type f | wc -l)
if ! diff -rq "$work/curl/dest" "$work/$release" -x 'FMS plans' -x logbooks -x movies -x preferences >/dev/null; then
  echo "velmora-update and the baseline installed different trees!" >&2
  exit 1
fi

awk -v base="$baseline" -v upd="$updater" -v u="$user_s" -v s="$sys_s" -v mb="$install_mb" \
    -v peak="$peak_kb" -v bf="$baseline_files" -v vf="$installed_files" 'BEGIN {
  printf "baseline (curl -P4 + unzip/7zz each): %8.3f s  (%d files)\n", base, bf
  printf "velmora-update:                       %8.3f s  (%d files)\n", upd, vf
  printf "ratio velmora-update / baseline:      %8.3f   (goal <= 0.8)\n", upd / base
  printf "CPU time of velmora-update:           %8.3f s  = %.2f ms per MB installed (user %.2f, sys %.2f)\n", u + s, (u + s) * 1000 / mb, u, s
  printf "peak memory of velmora-update:        %8.1f MB (goal <= 100)\n", peak / 1024
}'
