"""The real kovraplotter in a process of its own, driven through --control (see
src/app/TestControl.h), for the benchmarks."""
import subprocess


class Program:
    def __init__(self, path, directory, port, env):
        self.process = subprocess.Popen(
            [path, "--control", "--port-map", f"COM1={port}"], cwd=directory, env=env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True, bufsize=1)

    def command(self, line):
        """Sends one command; the lines printed before its "done"."""
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        answers = []
        while True:
            answer = self.process.stdout.readline()
            if answer == "":
                raise RuntimeError(f"the program ended during '{line}'")
            answer = answer.rstrip("\n")
            if answer == "done":
                return answers
            answers.append(answer)

    def answer(self, line, prefix):
        """The rest of the first answer line that starts with prefix, or None."""
        for answer in self.command(line):
            if answer.startswith(prefix):
                return answer[len(prefix):]
        return None

    def values(self):
        return int(self.answer("caption", "caption ").split()[0])

    def paints(self):
        """Paints so far, or None for a program that cannot tell."""
        text = self.answer("paints", "paints ")
        return int(text) if text is not None else None

    def quit(self):
        try:
            self.command("quit")
            self.process.wait(timeout=30)
        except (RuntimeError, BrokenPipeError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()
