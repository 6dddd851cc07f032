# Windows packaging comes next.
