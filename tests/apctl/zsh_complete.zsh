# Types LINE and a TAB into an interactive zsh on a pseudo-terminal (zsh/zpty) whose fpath holds
# the completion function in DIR, and prints each match the completion added, one a line:
# compadd is wrapped to write down what it adds before it adds it. With "messages", prints
# instead the messages it shows where it has nothing to offer (compadd -x).
#   zsh -f zsh_complete.zsh DIR LINE [messages]
zmodload zsh/zpty || exit 3
dir=$1 line=$2 shown=${3:-matches}
work=$(mktemp -d) || exit 3
trap 'zpty -d z 2>/dev/null; rm -rf $work' EXIT
completion=/usr/share/zsh/functions/Completion
# compinit reads the first line of every file on the fpath: the base functions only, so that it
# does not take seconds on a busy machine; the Unix ones (_files) are found when called.
cat >$work/init.zsh <<SCRIPT
fpath=(${(q)dir} $completion $completion/Base)
autoload -Uz compinit && compinit -u -D
fpath+=($completion/Unix)
autoload -Uz _files _path_files
zstyle ':completion:*' list-prompt ''
LISTMAX=100000
compadd() {
  local -i at=\${@[(i)-x]}
  (( at < \$# )) && print -r -- "\${@[at+1]}" >>$work/messages
  # -O, -A and -D only ask what would match; they add nothing.
  if (( \${@[(I)-[OAD]*]} )); then builtin compadd "\$@"; return; fi
  local -a added
  builtin compadd -O added "\$@"
  (( \$#added )) && print -rl -- \$added >>$work/matches
  builtin compadd "\$@"
}
PS1='READY> '
SCRIPT
# A message is shown only with a format; '%d' is the message alone.
[[ $shown == messages ]] &&
  print -r -- "zstyle ':completion:*:(messages|descriptions)' format '%d'" >>$work/init.zsh

# Reads the terminal until its output holds `marker`; false after 30 s.
await() {
  local text= chunk
  local -F deadline=$(( SECONDS + 30 ))
  while (( SECONDS < deadline )); do
    if zpty -r -t z chunk; then
      text+=$chunk
      [[ $text == *$1* ]] && return 0
    else
      sleep 0.05
    fi
  done
  print -u2 "zsh_complete: no '$1' from the shell; it wrote: ${(q+)text}"
  return 1
}

# A dumb terminal would have zsh complete without its line editor.
zpty z "TERM=vt100 zsh -f -i"
zpty -w z "source $work/init.zsh"
# Keys typed before the line editor is up may be lost: wait for its prompt.
await 'READY> ' || exit 4
# The completion runs before the next keys are read: once the marker is printed, it has ended.
zpty -w -n z "$line"$'\t'
zpty -w z $'\C-u'"print -r -- COMP\"\"DONE"
await COMPDONE || exit 4
[[ -f $work/$shown ]] && sort -u $work/$shown
exit 0
