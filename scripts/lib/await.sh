# await SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; fails after SECONDS.
# Sourced by the desk and Wine helpers: every wait of the test rigs has a deadline and polls its
# condition, none relies on a fixed delay.
await() {
    local seconds=$1 i
    shift
    for ((i = 0; i < seconds * 10; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
