# bash completion for quorvale-batch                       -*- shell-script -*-
#
# Completes the option names, the values of --size (the IDs of
# `quorvale-batch --list-sizes`), --dpi, --on-problem, --existing,
# --crop-position (its words) and --fit, files for --report and --crops,
# and folders for the two folder arguments. Needs nothing from
# the bash-completion package.

_quorvale_batch()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

    # "--size=2" arrives as three words when '=' breaks words (bash's
    # default), as one word otherwise.
    local prefix=
    if [[ $cur == = && $prev == --* ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        prefix=$prev=
        cur=${cur#*=}
    fi

    local values=
    case $prev in
        --size)
            values='L hagaki 2L yatsugiri mutsugiri w-mutsugiri A4 yotsugiri
                    w-yotsugiri 4base 16base qvga vga svga xga sxga sxga-1600
                    sxga-2048 dsc postcard'
            ;;
        --dpi) values='150 200 300 320 400' ;;
        --on-problem) values='continue stop' ;;
        --existing) values='stop overwrite skip' ;;
        --crop-position) values='top centre center bottom left right' ;;
        --fit) values='trim border' ;;
        --colour) values='keep srgb' ;;
        --date-format) values='YYYY.MM.DD YYYY年M月D日' ;;
        --quality|--jobs|--shard|--margin) return 0 ;;
        --report|--crops)
            local IFS=$'\n'
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0
            ;;
    esac
    if [[ -n $values || -n $prefix ]]; then
        local IFS=$'\n'
        COMPREPLY=($(compgen -P "$prefix" -W "${values//[[:space:]]/$'\n'}" -- "$cur"))
        return 0
    fi

    # After "--" every word is a folder.
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            local IFS=$'\n'
            COMPREPLY=($(compgen -d -- "$cur"))
            return 0
        fi
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--size --dpi --reduce --high-quality --quality --jobs
                                 --no-subfolders --all-jpeg-names --all-photos --phone
                                 --keep-small --no-trim
                                 --on-problem --overwrite --existing --json
                                 --auto-orient --keep-metadata --colour --write-dpi
                                 --keep-times --large-photos --report --dry-run
                                 --crop-position --crops --strict-crops --fit --margin
                                 --date-stamp --date-format --shop-names --shard
                                 --list-sizes --help --version -h --' -- "$cur"))
        return 0
    fi

    local IFS=$'\n'
    COMPREPLY=($(compgen -d -- "$cur"))
} &&
    complete -F _quorvale_batch -o filenames quorvale-batch
