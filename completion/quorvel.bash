# bash completion for quorvel: the commands, each command's options, and the values that
# --stub, --codepage, --overwrite and the options taking files or folders expect.

_quorvel_reply() {
    mapfile -t COMPREPLY < <(compgen "$@")
}

_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            pack | list | test | extract) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    # bash splits "--opt=value" at the "=": the option is then the word before it.
    local option=$prev
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = && COMP_CWORD -ge 2 ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $option in
        --stub)
            _quorvel_reply -W "windows native" -- "$cur"
            mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        --codepage) _quorvel_reply -W "932 936 949 950 1252" -- "$cur"; return ;;
        --overwrite) _quorvel_reply -W "ask always never rename" -- "$cur"; return ;;
        -C | -d) _quorvel_reply -d -- "$cur"; return ;;
        -o | --comment-file | --password-file) _quorvel_reply -f -- "$cur"; return ;;
        --comment | --run | --threads) return ;;
    esac
    local options
    case $command in
        "") options="pack list test extract --help --version" ;;
        pack) options="-o -C --stub --comment --comment-file --run --password --password-file --codepage
                       --allow-unportable-names --strict -1 -2 -3 -4 -5 -6 -7 -8 -9 --threads -L -v -q --help" ;;
        list) options="--json --codepage --password-file --help" ;;
        test) options="-q --codepage --password-file --help" ;;
        extract) options="-d --overwrite= -y -n -q --codepage --password-file --help" ;;
    esac
    if [[ -z $command || $cur == -* ]]; then
        _quorvel_reply -W "$options" -- "$cur"
        [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
    else
        _quorvel_reply -f -- "$cur"
    fi
}

complete -o filenames -F _quorvel quorvel
