# Bash completion of lumigal-batch: its options (read from its own help, so
# that they follow the installed version, --no- forms included), the values of the options that
# take a fixed set, folders where a folder is asked for, and otherwise the
# images and folders to put in the album.
_lumigal_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -m | --mode)
            COMPREPLY=($(compgen -W 'thumbnails details plain' -- "$cur"))
            return
            ;;
        -p | --position)
            COMPREPLY=($(compgen -W '1 2 3 4' -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'same bmp gif jpeg png' -- "$cur"))
            return
            ;;
        --style)
            COMPREPLY=($(compgen -W 'classic modern' -- "$cur"))
            return
            ;;
        --types)
            # A comma-separated list: complete its last item.
            local done="" item
            [[ $cur == *,* ]] && done=${cur%,*},
            item=${cur##*,}
            COMPREPLY=($(compgen -P "$done" -W 'bmp dib gif jpeg png xbm webp heic avif tiff video mp4 mov m4v 3gp webm mkv avi' -- "$item"))
            compopt -o nospace
            return
            ;;
        -j | --jobs)
            COMPREPLY=($(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 1)")" -- "$cur"))
            return
            ;;
        --thumb-dir)
            _filedir -d
            return
            ;;
        -o | --output)
            _filedir '@(htm|html)'
            return
            ;;
        -t | --title | --footer | -s | --size | --per-row | --border | --cell-spacing | \
            --cell-padding | --web-size | --per-page | --base-url | --*-color | --*-color-dark)
            return
            ;;
    esac

    $split && return

    if [[ $cur == -* ]]; then
        local options
        options=$(LC_ALL=C "$1" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u)
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    # Images and folders.
    _filedir '@(bmp|BMP|dib|DIB|gif|GIF|jpg|JPG|jpeg|JPEG|png|PNG|xbm|XBM|webp|WEBP|heic|HEIC|heif|HEIF|avif|AVIF|tif|TIF|tiff|TIFF)'
} &&
    complete -F _lumigal_batch lumigal-batch
