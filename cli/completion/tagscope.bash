# bash completion for tagscope
_tagscope() {
    local cur prev verb i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    verb=
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            show|dump|check|repair|set|erase|pictures|decode|rename|fix-encoding|loudness) verb=${COMP_WORDS[i]}; break ;;
        esac
    done
    if [[ -z $verb ]]; then
        COMPREPLY=($(compgen -W "show dump check repair set erase pictures decode rename fix-encoding loudness --help --version" -- "$cur"))
        return
    fi

    local picture_types="other icon other-icon front back leaflet media lead-artist artist
        conductor band composer lyricist location during-recording during-performance
        screen-capture fish illustration band-logo publisher-logo"
    local options
    case $verb in
        show) options="-r --recursive --v1-charset --help" ;;
        dump) options="--full-seek --json --hash --binary --chapters --lrc --lang --check -r --recursive --v1-charset --help" ;;
        check) options="--json -r --recursive --help" ;;
        repair) options="--dry-run --force -r --recursive -p --preserve-mtime --help" ;;
        erase) options="--v1 --v2 --ape --all --force -r --recursive -p --preserve-mtime --help" ;;
        fix-encoding) options="-n --dry-run --from -r --recursive --force -p --preserve-mtime --help" ;;
        pictures) options="--extract --overwrite -o --output --index -r --recursive --help" ;;
        rename)
            options="-f --format -r --recursive --to --dry-run --help"
            case $prev in
                -f|--format) return ;;
                --to) COMPREPLY=($(compgen -d -- "$cur")); return ;;
            esac ;;
        decode) options="--overwrite --help" ;;
        loudness) options="--album --album-per-folder --sample-peak --rva2 --dry-run --json -r
                --recursive -p --preserve-mtime --help" ;;
        set)
            options="--title --artist --album --track --genre --grouping --encoded-by
                --subtitle --album-artist --disc --composer --bpm --year --text --rating --lyrics
                --comment --lang --user-text --url --user-url
                --picture --delete-picture --delete --id3v2.3 --id3v2.4 --value-from-file
                --padding --footer --v1 --dry-run --force -r --recursive -p --preserve-mtime
                --from-name --ape-to-id3 --chapters --delete-chapters --lrc --lrc-charset --help
                --frame --ufid --play-count --volume --from-json"
            case $prev in
                --delete-picture)
                    COMPREPLY=($(compgen -W "all $picture_types" -- "$cur"))
                    return ;;
                --picture|--chapters|--lrc|--from-json)
                    compopt -o filenames 2>/dev/null
                    COMPREPLY=($(compgen -f -- "$cur"))
                    return ;;
                --text)
                    COMPREPLY=($(compgen -W "TALB= TBPM= TCOM= TCON= TCOP= TEXT= TIT1= TIT2=
                        TIT3= TLAN= TMOO= TPE1= TPE2= TPE3= TPE4= TPOS= TPUB= TRCK= TSRC=
                        TYER= TDRC=" -- "$cur"))
                    compopt -o nospace 2>/dev/null
                    return ;;
                --url)
                    COMPREPLY=($(compgen -W "WCOM= WCOP= WOAF= WOAR= WOAS= WORS= WPAY= WPUB="
                        -- "$cur"))
                    compopt -o nospace 2>/dev/null
                    return ;;
                --frame)
                    COMPREPLY=($(compgen -W "TCMP= GRP1= TSO2= TSOC= TSOA= TSOP= TSOT= MVNM=
                        MVIN= XSOP= WFED=" -- "$cur"))
                    compopt -o nospace 2>/dev/null
                    return ;;
                --delete)
                    COMPREPLY=($(compgen -W "APIC COMM TXXX WXXX TALB TCON TDRC TIT1 TIT2 TIT3
                        TPE1 TRCK TYER USLT" -- "$cur"))
                    return ;;
                --lang)
                    COMPREPLY=($(compgen -W "eng deu fra spa ita nld pol" -- "$cur"))
                    return ;;
                --title|--artist|--album|--track|--genre|--grouping|--encoded-by|--subtitle|\
                --year|--comment|--user-text|--user-url|--padding|--album-artist|--disc|\
                --composer|--bpm|--rating|--lyrics|--from-name|--ufid|--play-count|--volume)
                    return ;;
            esac ;;
    esac
    if [[ $verb == pictures && ($prev == -o || $prev == --output) ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    if [[ $verb == pictures && $prev == --index ]]; then return; fi
    if [[ $prev == --from || $prev == --v1-charset ]]; then
        COMPREPLY=($(compgen -W "WINDOWS-1251 KOI8-R WINDOWS-1250 WINDOWS-1252 SHIFT_JIS GBK
            BIG5 EUC-KR UTF-8 ISO-8859-1" -- "$cur"))
        return
    fi
    if [[ $verb == pictures && $prev == --extract ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _tagscope tagscope
