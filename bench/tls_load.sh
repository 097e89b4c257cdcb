#!/usr/bin/env bash
# TLS load benchmark: bench/tcp_load.sh over TLS beside plain TCP, LF framing, from 1 and 100
# connections, for marovindd, marovind and rsyslog's TLS receiver (imtcp with the ossl driver,
# anonymous) in the same run; then TLS handshakes per second.
#   bench/tls_load.sh [BUILD_DIR]
# Environment as tcp_load.sh; TCP_LOAD_HANDSHAKES defaults to 3000 here.
here=$(cd "$(dirname "$0")" && pwd)
export TCP_LOAD_TRANSPORTS=${TCP_LOAD_TRANSPORTS:-tcp tls}
export TCP_LOAD_FRAMINGS=${TCP_LOAD_FRAMINGS:-lf}
export TCP_LOAD_HANDSHAKES=${TCP_LOAD_HANDSHAKES:-3000}
exec bash "$here/tcp_load.sh" "$@"
