# scdoc emits paragraph macros where no paragraph follows or one has just begun (after a heading, before
# another paragraph or a heading) and ends an indented block with a paragraph inside it; renderers skip the
# first kind and `mandoc -Tlint` reports both. This drops the first kind and moves the second after the
# end of the indent, where it separates the block from the next one.
function para(line) { return line == ".P" || line == ".PP" }
function opens(line) { return line ~ /^\.(SH|TH|P|PP|RS|TP)( |$)/ }
function closes(line) { return line ~ /^\.(SH|P|PP|RE|TP)( |$)/ }
{ lines[NR] = $0 }
END {
    prev = ""
    for (i = 1; i <= NR; i++) {
        line = lines[i]
        following = i < NR ? lines[i + 1] : ".SH"
        if (para(line) && following ~ /^\.RE( |$)/) {
            print following
            prev = following
            i++
            after = i < NR ? lines[i + 1] : ".SH"
            if (!closes(after)) {
                print line
                prev = line
            }
            continue
        }
        if (para(line) && (opens(prev) || closes(following)))
            continue
        print line
        prev = line
    }
}
