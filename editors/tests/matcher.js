// The VS Code problem matcher of editors/vscode (tasks.json and the
// extension's package.json) applied, as VS Code applies it, to the output of
// the task's own command line on a program: one problem a matching line.
//   node matcher.js EDITORS KILN PROGRAM
// Writes "file:line:column:severity: message" for each problem.
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');
const [editors, kiln, program] = process.argv.slice(2);
const tasks = JSON.parse(fs.readFileSync(path.join(editors, 'vscode', 'tasks.json'), 'utf8'));
const extension = JSON.parse(fs.readFileSync(path.join(editors, 'vscode', 'package.json'), 'utf8'));
const task = tasks.tasks[0];
const { name, ...contributed } = extension.contributes.problemMatchers[0];
if (name !== 'kiln' || JSON.stringify(contributed) !== JSON.stringify(task.problemMatcher)) {
  console.log('the extension\'s problem matcher differs from the task\'s');
  process.exit(1);
}
const args = task.args.map((a) => a.replace('${file}', program));
const run = spawnSync(kiln, args, { encoding: 'utf8' });
const p = task.problemMatcher.pattern;
const re = new RegExp(p.regexp);
for (const line of (run.stdout + run.stderr).split('\n')) {
  const m = re.exec(line);
  if (!m) continue;
  console.log(`${path.basename(m[p.file])}:${m[p.line]}:${m[p.column]}:${m[p.severity]}: ${m[p.message]}`);
}
console.log(`status ${run.status}`);
