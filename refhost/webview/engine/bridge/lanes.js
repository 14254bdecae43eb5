// Commands run in lanes: those of one lane one after the other, in the
// order they came, lanes side by side. Each command has its own time limit:
// one that overruns it is reported and its lane moves on, so that a page
// whose script never returns stalls only the commands of its own view.
'use strict';

class Lanes {
  constructor() {
    this.tails = new Map();
  }

  // Runs task() after the tasks queued before in lane; resolves to
  // { late: true } when it took longer than ms, { error } when it failed,
  // {} when it ended in time.
  run(lane, ms, task) {
    const before = this.tails.get(lane) || Promise.resolve();
    const done = before.then(() => bounded(task, ms));
    this.tails.set(lane, done);
    done.then(() => {
      if (this.tails.get(lane) === done) this.tails.delete(lane);
    });
    return done;
  }
}

function bounded(task, ms) {
  return new Promise((resolve) => {
    const timer = setTimeout(() => resolve({ late: true }), ms);
    Promise.resolve()
      .then(task)
      .then(() => ({}), (error) => ({ error }))
      .then((outcome) => {
        clearTimeout(timer);
        resolve(outcome);
      });
  });
}

module.exports = { Lanes };
