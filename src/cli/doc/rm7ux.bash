# bash completion for rm7ux and rm7ux-sim. rm7ux's commands and options come from the data above,
# made from the table its parser uses; rm7ux-sim's from its --help.

# COM numbers present: entries of the per-user ports folder, then the devices behind the fixed
# numbers (COM1-32 ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31); then the searches.
_rm7ux_ports() {
    local dir="${XDG_CONFIG_HOME:-$HOME/.config}/KorvaTech/CFG_RM7UX_Radio/ports" f n
    for f in "$dir"/COM*; do
        [[ -e $f ]] && echo "${f##*/COM}"
    done
    for n in {0..31}; do
        [[ -e /dev/ttyS$n ]] && echo $((n + 1))
        [[ -e /dev/ttyUSB$n ]] && echo $((n + 33))
        [[ -e /dev/ttyACM$n ]] && echo $((n + 65))
    done
    echo auto auto-all
}

# Completes what an option or operand takes, by its name in the synopsis: a choice "A|B|C",
# a file (also among alternatives: "DEVICE/ADDRESS"), a setting name; nothing for numbers and
# texts.
_rm7ux_complete_value() {
    case $1 in
        *'|'*) COMPREPLY=($(compgen -W "${1//|/ }" -- "$cur")) ;;
        *FILE* | *PATH* | *DEVICE*) _filedir ;;
        NAME) COMPREPLY=($(compgen -W "$(_rm7ux_names "$command")" -- "$cur")) ;;
        PORT) COMPREPLY=($(compgen -W "$(_rm7ux_ports)" -- "$cur")) ;;
        *) COMPREPLY=() ;;
    esac
}

# What OPTION takes according to a list of OPTION=WHAT; fails when it takes nothing.
_rm7ux_takes() {
    local entry
    for entry in $2; do
        [[ ${entry%%=*} == "$1" ]] && echo "${entry#*=}" && return 0
    done
    return 1
}

_rm7ux() {
    local cur prev words cword split
    _init_completion -s || return
    local command= flags= values= operands= typed=0 used=() i word what
    # The command is the first word that is neither an option nor an option's value; the global
    # options may stand on either side of it.
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ $word == -* ]]; then
            used+=("${word%%=*}")
            [[ $word == *=* ]] && continue
            if { [[ -n $command ]] && _rm7ux_takes "$word" "$values" >/dev/null; } ||
                _rm7ux_takes "$word" "$(_rm7ux_global_values)" >/dev/null; then
                ((i++))
            fi
        elif [[ -z $command ]]; then
            command=$word
            _rm7ux_command "$command" || return
        else
            ((typed++))
        fi
    done

    if [[ $prev == -* ]]; then
        if [[ -n $command ]] && what=$(_rm7ux_takes "$prev" "$values"); then
            _rm7ux_complete_value "$what"
            return
        fi
        if what=$(_rm7ux_takes "$prev" "$(_rm7ux_global_values)"); then
            # The port rule: a COM number, or one of the searches.
            [[ $prev == --port || $prev == -p ]] && what=PORT
            _rm7ux_complete_value "$what"
            return
        fi
    fi
    $split && return

    local offered=() option
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            offered=($(_rm7ux_global_options))
        else
            offered=($(_rm7ux_commands))
        fi
    else
        local pattern=($operands)
        if [[ $cur != -* && ${#pattern[@]} -gt 0 ]]; then
            # "NAME VALUE..." repeats as a whole; "FILE" is one operand.
            if ((typed < ${#pattern[@]})); then
                what=${pattern[typed]}
            elif [[ ${pattern[-1]} == *... ]]; then
                what=${pattern[typed % ${#pattern[@]}]}
            else
                what=
            fi
            _rm7ux_complete_value "${what%...}"
            return
        fi
        offered=($flags --help)
        for option in $values; do
            offered+=("${option%%=*}")
        done
    fi
    # Long forms only, each once.
    local left=()
    for option in "${offered[@]}"; do
        [[ $option == -? ]] && continue
        [[ " ${used[*]} " == *" $option "* ]] && continue
        left+=("$option")
    done
    COMPREPLY=($(compgen -W "${left[*]}" -- "$cur"))
}

_rm7ux_sim() {
    local cur prev words cword split
    _init_completion -s || return
    local help
    help=$("${words[0]}" --help 2>/dev/null)
    case $prev in
        --port | -p) return ;;
        --model)
            COMPREPLY=($(compgen -W "$(sed -n 's/^ *--model \([A-Z0-9|]*\) .*/\1/p' <<<"$help" | tr '|' ' ')" -- "$cur"))
            return
            ;;
    esac
    $split && return
    COMPREPLY=($(compgen -W "$(sed -n 's/^ *\(--[a-z-]*\).*/\1/p' <<<"$help" | sort -u)" -- "$cur"))
}

complete -F _rm7ux rm7ux
complete -F _rm7ux_sim rm7ux-sim
